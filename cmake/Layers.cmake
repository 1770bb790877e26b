# The layers of the game, enforced by the compiler: app -> link -> game -> sim -> control,
# render -> math -> io -> vocab; the rules (sim) link nothing that draws. Each library's headers are reached
# as "folder/Name.h" through an include root of its own that holds only that folder, and a
# library sees the roots of the libraries it links and no others. So
# `#include "game/Game.h"` from render/ does not compile.

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
    list(APPEND probes "tamq_game link/BoardLink.h" "tamq_link app/Window.h" "tamq_link app/PlatformHttpClient.h"
      "tamq_link audio/AudioPlayer.h")
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
