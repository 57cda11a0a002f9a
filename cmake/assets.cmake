# forgeset-assets: the asset helper for the owner's own model files. It is an outside program
# from the tool's point of view, so it links none of the tool's libraries: its own code, assimp
# to read FBX, stb to read, scale and write images and nlohmann-json to read and write its JSON
# files. It is built as tools/forgeset-assets beside the executable, where the tool looks for
# its helper.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ASSIMP REQUIRED IMPORTED_TARGET assimp)
pkg_check_modules(STB REQUIRED IMPORTED_TARGET stb)
find_package(nlohmann_json REQUIRED)

include(${PROJECT_SOURCE_DIR}/cmake/assets_common.cmake)
target_link_libraries(forgeset_assets_common PUBLIC PkgConfig::STB)

# The rest reads models with assimp.
file(GLOB assets_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/assets/*.cpp)
list(REMOVE_ITEM assets_sources ${PROJECT_SOURCE_DIR}/src/assets/main.cpp ${assets_common_sources})
add_library(forgeset_assets_core STATIC ${assets_sources})
target_include_directories(forgeset_assets_core PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(forgeset_assets_core PUBLIC forgeset_assets_common PkgConfig::ASSIMP
  Threads::Threads)

add_executable(forgeset-assets src/assets/main.cpp)
target_link_libraries(forgeset-assets PRIVATE forgeset_assets_core)
set_target_properties(forgeset-assets PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tools)

# A fresh build of the tool has its helper beside it, whichever target is asked for. The tool's
# target is defined after this file is read, hence the deferred call.
cmake_language(DEFER CALL add_dependencies forgeset-server-tool forgeset-assets)

# The helper's tests run the real program on real files: Debian's assimp test models, images
# generated into temporary folders. They run in sanitizer builds too, where the helper is
# instrumented like everything else (assimp and stb, as system libraries, are not).
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)
set(assets_test_models /usr/share/assimp/models/FBX)
if(NOT EXISTS ${assets_test_models})
  message(FATAL_ERROR "assimp's test models are missing: install assimp-testmodels (scripts/setup.sh)")
endif()
file(GLOB assets_test_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/assets/*.cpp)
add_executable(assets_tests ${assets_test_sources})
target_include_directories(assets_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(assets_tests PRIVATE forgeset_assets_core GTest::gtest_main
  nlohmann_json::nlohmann_json)
target_compile_definitions(assets_tests PRIVATE
  FORGESET_ASSETS_PATH="$<TARGET_FILE:forgeset-assets>"
  ASSIMP_TEST_MODELS="${assets_test_models}")
add_dependencies(assets_tests forgeset-assets)
gtest_discover_tests(assets_tests TEST_PREFIX "assets." DISCOVERY_TIMEOUT 30)
