# The layers of the game, enforced by the compiler: app -> game -> control, render -> math
# -> io. Each library's headers are reached as "folder/Name.h" through an include root of
# its own that holds only that folder, and a library sees the roots of the libraries it
# links and no others. So `#include "game/Game.h"` from render/ does not compile.

# Gives target the include root of the folder whose CMakeLists.txt calls it.
function(tamq_layer target)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(root ${CMAKE_BINARY_DIR}/layers/${folder})
  if(NOT EXISTS ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
