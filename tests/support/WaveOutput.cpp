#include "support/WaveOutput.h"

#include "support/TestFiles.h"

#include <cstdlib>

std::string WaveOutput::use(const std::string& recordingName, const std::string& generalSettings) {
    const std::string recording = TestFiles::folder() + "/" + recordingName;
    const std::string conf = TestFiles::write(recordingName + ".alsoft.conf", "[general]\ndrivers = wave\n" +
                                                                                generalSettings + "[wave]\nfile = " +
                                                                                recording + "\n");
#ifdef _WIN32
    _putenv_s("ALSOFT_CONF", conf.c_str());
#else
    setenv("ALSOFT_CONF", conf.c_str(), 1);
#endif
    return recording;
}
