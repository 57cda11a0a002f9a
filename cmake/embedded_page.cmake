# The page and its libraries, compiled into the executable as byte strings by
# cmake/embed_files.cpp, which runs on the build machine: ${FORGESET_EMBED_FILES} names it (a
# target of the Linux build, a program built with the Linux compiler in the Windows build).
# Makes ${PROJECT_BINARY_DIR}/generated/embedded_files.cpp.
#
# Every file the browser loads from ui/ is served at its path below ui/, so a new module
# needs no edit here; the library files sit where the page's import map sends "three",
# "three/addons/" and "idiomorph".
set(ui ${PROJECT_SOURCE_DIR}/ui)
set(three ${ui}/node_modules/three)
file(GLOB_RECURSE page_files CONFIGURE_DEPENDS RELATIVE ${ui} ${ui}/*.html ${ui}/*.css ${ui}/*.js)
list(FILTER page_files EXCLUDE REGEX "^node_modules/|^eslint\\.config\\.js$")
list(TRANSFORM page_files REPLACE "^(.+)$" "/\\1=${ui}/\\1")
set(page_libraries
  /three.module.js=${three}/build/three.module.js
  /three.core.js=${three}/build/three.core.js
  /addons/loaders/GLTFLoader.js=${three}/examples/jsm/loaders/GLTFLoader.js
  /addons/controls/OrbitControls.js=${three}/examples/jsm/controls/OrbitControls.js
  /addons/utils/BufferGeometryUtils.js=${three}/examples/jsm/utils/BufferGeometryUtils.js
  /addons/utils/SkeletonUtils.js=${three}/examples/jsm/utils/SkeletonUtils.js
  /addons/loaders/FBXLoader.js=${three}/examples/jsm/loaders/FBXLoader.js
  /addons/libs/fflate.module.js=${ui}/node_modules/fflate/esm/browser.js
  /addons/curves/NURBSCurve.js=${three}/examples/jsm/curves/NURBSCurve.js
  /addons/curves/NURBSUtils.js=${three}/examples/jsm/curves/NURBSUtils.js
  /vendor/idiomorph.js=${ui}/node_modules/idiomorph/dist/idiomorph.esm.js)
# The routes the host has always had keep their ids and their registration order.
set(page_route_ids
  /index.html=101 /app.css=102 /app.js=103 /studio.js=104 /ai.js=105 /species.js=106
  /three.module.js=110 /three.core.js=111 /addons/loaders/GLTFLoader.js=112
  /addons/controls/OrbitControls.js=113 /addons/utils/BufferGeometryUtils.js=114
  /addons/utils/SkeletonUtils.js=115 /animpreview.js=107 /addons/loaders/FBXLoader.js=116
  /addons/libs/fflate.module.js=117 /addons/curves/NURBSCurve.js=118
  /addons/curves/NURBSUtils.js=119)
set(embed_args)
foreach(route_id ${page_route_ids})
  list(APPEND embed_args --id ${route_id})
endforeach()
set(embedded_files ${page_files} ${page_libraries})
list(APPEND embed_args ${embedded_files})
list(TRANSFORM embedded_files REPLACE "^[^=]*=" "")
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/generated/embedded_files.cpp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/generated
  COMMAND ${FORGESET_EMBED_FILES} ${PROJECT_BINARY_DIR}/generated/embedded_files.cpp ${embed_args}
  DEPENDS ${FORGESET_EMBED_FILES} ${embedded_files}
  COMMENT "Embedding the page")
