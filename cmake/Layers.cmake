# The layers of the game, enforced by the compiler; the rules (sim) link nothing that draws.
# Each library's headers are reached as "folder/Name.h" through an include root of its own
# that holds only that folder, and a library sees the roots of the libraries it links and no
# others. So `#include "game/Game.h"` from render/ does not compile.

# Which layers each uses, the only place that says it: tamq_layer links them, and the
# README's layer line is drawn from it (tamq_layer_line, checked by a test). Libraries that
# reach each other through none of these arrows see nothing of each other.
set(TAMQ_LAYERS
  "app: link game audio"
  "game: sim render"
  "link: sim"
  "board: sim"
  "sim: control math io"
  "render: math"
  "control: math"
  "audio: io"
  "math: io"
  "io: vocab")

# The layers a folder's library uses, from TAMQ_LAYERS.
function(tamq_layer_uses folder out)
  set(uses)
  foreach(entry IN LISTS TAMQ_LAYERS)
    if(entry MATCHES "^${folder}: (.*)$")
      separate_arguments(uses UNIX_COMMAND "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  set(${out} ${uses} PARENT_SCOPE)
endfunction()

# The README's layer line: "`app` → `link`, `game`, `audio`; `game` → ...".
function(tamq_layer_line out)
  set(steps)
  foreach(entry IN LISTS TAMQ_LAYERS)
    string(REGEX MATCH "^[a-z]+" folder "${entry}")
    tamq_layer_uses(${folder} uses)
    list(JOIN uses "`, `" used)
    list(APPEND steps "`${folder}` → `${used}`")
  endforeach()
  list(JOIN steps "; " line)
  set(${out} "${line}" PARENT_SCOPE)
endfunction()

# Gives target the include root of the folder whose CMakeLists.txt calls it, and links the
# layers it uses.
function(tamq_layer target)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  tamq_layer_uses(${folder} uses)
  list(TRANSFORM uses PREPEND tamq_)
  target_link_libraries(${target} PUBLIC ${uses})
  set(root ${CMAKE_BINARY_DIR}/layers/${folder})
  if(NOT EXISTS ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# Tests that the layers hold: for each library, a source that includes a header of a layer
# above it must fail to compile, for want of that header. Built only when the test runs.
function(tamq_layer_probes)
  set(probes
    # The shared vocabulary lies under io: they see nothing of the record or the rules they serve.
    "tamq_vocab io/RunRecord.h"
    "tamq_vocab sim/RunState.h"
    "tamq_io math/Matrix4.h"
    "tamq_math render/Mesh.h"
    "tamq_math control/CameraRig.h"
    "tamq_render control/CameraRig.h"
    "tamq_render game/Game.h"
    "tamq_control render/Mesh.h"
    "tamq_control game/Game.h"
    "tamq_control sim/Simulation.h"
    "tamq_render sim/Simulation.h"
    "tamq_sim render/Mesh.h"
    "tamq_sim game/Game.h"
    "tamq_sim audio/AudioPlayer.h"
    "tamq_game audio/AudioPlayer.h")
  if(TARGET tamq_link)
    # The online board's side of the game: no window, no sound, nothing of the shell's.
    # Beside the game: neither sees the other, and the link sees nothing that draws.
    list(APPEND probes "tamq_game link/BoardLink.h" "tamq_link game/Game.h" "tamq_link render/Text.h"
      "tamq_link app/Window.h" "tamq_link app/PlatformHttpClient.h" "tamq_link audio/AudioPlayer.h")
    if(TAMQ_PLATFORM STREQUAL "SDL2")
      list(APPEND probes "tamq_link SDL.h")
    endif()
  endif()
  if(TARGET tamq_app)
    list(APPEND probes "tamq_game app/Window.h")
  endif()
  # The board service re-plays runs with the rules alone: nothing of drawing or sound.
  if(TARGET tamq_board)
    list(APPEND probes "tamq_board render/Mesh.h" "tamq_board game/Game.h" "tamq_board audio/AudioPlayer.h")
  endif()
  # The README draws the layers as the build holds them.
  tamq_layer_line(line)
  add_test(NAME layers_readme_line COMMAND grep -qF -- "${line}" ${PROJECT_SOURCE_DIR}/README.md)
  foreach(probe IN LISTS probes)
    separate_arguments(probe)
    list(GET probe 0 library)
    list(GET probe 1 header)
    string(MAKE_C_IDENTIFIER "${library}_sees_${header}" name)
    set(source ${CMAKE_CURRENT_BINARY_DIR}/layer_probes/${name}.cpp)
    file(WRITE ${source} "#include \"${header}\"\n")
    add_library(${name} OBJECT EXCLUDE_FROM_ALL ${source})
    target_link_libraries(${name} PRIVATE ${library})
    add_test(NAME layers_${name}
      COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target ${name})
    # Passes only when the build fails on the include itself. One build of the tree at a time.
    set_tests_properties(layers_${name} PROPERTIES RESOURCE_LOCK build_tree
      PASS_REGULAR_EXPRESSION "${header}: No such file or directory|'${header}' file not found")
  endforeach()
endfunction()
