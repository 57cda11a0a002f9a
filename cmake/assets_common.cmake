# The asset helper's code that needs no assimp: the name rules (animation ids, role and texture
# guesses), JSON documents, images with stb and the source folder's listing. The helper builds
# on it, and so does its fake in the tests (tests/fakes/forgeset_assets/), which the Windows
# build makes too, where assimp is not packaged for mingw-w64: what the fake says about names,
# JSON and images is then what the helper says. The including file links stb (its library on
# Linux; on Windows its implementation is compiled into this library).
set(assets_dir ${PROJECT_SOURCE_DIR}/src/assets)
set(assets_common_sources ${assets_dir}/naming.cpp ${assets_dir}/json_document.cpp
  ${assets_dir}/images.cpp ${assets_dir}/source_files.cpp ${assets_dir}/texture_survey.cpp)
add_library(forgeset_assets_common STATIC ${assets_common_sources})
target_include_directories(forgeset_assets_common PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(forgeset_assets_common PUBLIC nlohmann_json::nlohmann_json)
