# The Windows build (the `windows` preset, cmake/mingw-w64.cmake): the executable with its
# window, its headless host and its browser host, the fakes the tests start as Windows programs,
# googletest from Debian's sources, and the test suites of the areas without a toolkit, run
# under Wine by CTest.
#
# Not built for Windows yet: the benchmarks, and our own asset helper,
# tools/forgeset-assets.exe, since assimp is not packaged for mingw-w64 here; the tests use the
# fake helper instead, which is built on the helper's code that needs no assimp.

# nlohmann-json is header-only; only its own folder of /usr/include is let in, so no header of
# the Linux system can stand in for a Windows one.
if(NOT EXISTS /usr/include/nlohmann/json.hpp)
  message(FATAL_ERROR "nlohmann-json is missing: install nlohmann-json3-dev (scripts/setup.sh)")
endif()
set(linux_headers ${PROJECT_BINARY_DIR}/linux-headers)
file(MAKE_DIRECTORY ${linux_headers})
file(CREATE_LINK /usr/include/nlohmann ${linux_headers}/nlohmann SYMBOLIC)
add_library(nlohmann_json INTERFACE)
target_include_directories(nlohmann_json SYSTEM INTERFACE ${linux_headers})
add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)

# The page, embedded as in the Linux build; the program that writes it out runs here, so the
# Linux compiler makes it.
find_program(FORGESET_LINUX_CXX NAMES g++ c++ REQUIRED)
set(embed_files_command ${PROJECT_BINARY_DIR}/host-tools/embed_files)
add_custom_command(OUTPUT ${embed_files_command}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/host-tools
  COMMAND ${FORGESET_LINUX_CXX} -std=c++23 -O1 -o ${embed_files_command}
    ${PROJECT_SOURCE_DIR}/cmake/embed_files.cpp
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/embed_files.cpp
  COMMENT "Building the page embedder for Linux")
include(${PROJECT_SOURCE_DIR}/cmake/embedded_page.cmake)

# The shell of the headless host and the browser host: the command table, the session every
# host shares, the stdio host, and the serve host with its page-drawn dialogs and the
# embedded page; the desktop window's host joins below.
set(shell ${PROJECT_SOURCE_DIR}/src/shell)
add_library(forgeset_shell STATIC ${shell}/commands.cpp ${shell}/page_commands.cpp
  ${shell}/host_session.cpp ${shell}/options.cpp ${shell}/stdio_host.cpp
  ${shell}/win32/terminate_signals.cpp
  ${shell}/serve_dialog_routes.cpp ${shell}/serve_host.cpp ${shell}/serve_routes.cpp
  ${shell}/serve_screening.cpp ${shell}/serve_security.cpp ${shell}/page_channel.cpp
  ${shell}/page_dialogs.cpp ${shell}/page_shim.cpp ${shell}/dialog_listing.cpp ${shell}/run_tool.cpp
  ${shell}/embedded_content.cpp ${PROJECT_BINARY_DIR}/generated/embedded_files.cpp)
target_include_directories(forgeset_shell PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(forgeset_shell PUBLIC forgeset_server forgeset_studio forgeset_species
  forgeset_remote)

add_executable(forgeset-server-tool ${shell}/win32/main.cpp)
target_link_libraries(forgeset-server-tool PRIVATE forgeset_shell)
set_target_properties(forgeset-server-tool PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})

enable_testing()
include(GoogleTest)

# googletest from Debian's sources (libgtest-dev), built with this compiler; nothing is
# downloaded. Its own code is not held to our warning rules.
if(NOT EXISTS /usr/src/googletest/googletest/CMakeLists.txt)
  message(FATAL_ERROR "googletest's sources are missing: install libgtest-dev (scripts/setup.sh)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(gtest_target gtest gtest_main)
  target_compile_options(${gtest_target} PRIVATE -Wno-error)
endforeach()

# The fakes the tool starts must be Windows programs: under Wine a Windows process can start a
# Linux program but gets no handle, exit code or output from it.
set(fakes ${PROJECT_SOURCE_DIR}/tests/fakes)
# The fake helper builds on the real helper's code without assimp. stb is header-only here:
# its implementation is compiled into that library, and only stb's own folder of /usr/include
# is let in (as a system folder, so that its code is not held to our warning rules).
include(${PROJECT_SOURCE_DIR}/cmake/assets_common.cmake)
target_sources(forgeset_assets_common PRIVATE ${assets_dir}/win32/stb_implementation.cpp)
target_include_directories(forgeset_assets_common SYSTEM PUBLIC /usr/include/stb)
file(GLOB fake_assets_sources CONFIGURE_DEPENDS ${fakes}/forgeset_assets/*.cpp)
add_executable(fake-forgeset-assets ${fake_assets_sources} ${fakes}/win32/fake_system.cpp)
target_include_directories(fake-forgeset-assets PRIVATE ${fakes})
target_link_libraries(fake-forgeset-assets PRIVATE forgeset_assets_common)
set_target_properties(fake-forgeset-assets PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fakes OUTPUT_NAME forgeset-assets)
# powershell.exe in a folder of its own, which tests put first on PATH.
add_executable(fake-powershell ${fakes}/powershell.cpp ${fakes}/win32/fake_system.cpp)
set_target_properties(fake-powershell PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fakes/bin OUTPUT_NAME powershell)
# tar.exe, which the tool takes from the system folder; the fixture below puts it there.
add_executable(fake-tar ${fakes}/tar.cpp ${fakes}/build_service/zip.cpp ${fakes}/win32/fake_system.cpp)
target_include_directories(fake-tar PRIVATE ${fakes})
set_target_properties(fake-tar PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fakes/tar OUTPUT_NAME tar)
# What the tool's ShellExecuteW opens folders, .md documents and addresses with in the tests'
# Wine prefix (the fixture below registers it); it records the target like the xdg-open fake.
add_executable(fake-opener ${fakes}/opener.cpp ${fakes}/win32/fake_system.cpp)
set_target_properties(fake-opener PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fakes/opener)
add_executable(fake-windows-runner ${fakes}/windows_runner.cpp)
set_target_properties(fake-windows-runner PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fakes/windows OUTPUT_NAME VarraForgesetServer)

# The fake build service stays a Linux program on loopback, built with the Linux compiler, as
# is the pool that starts one per test for the Windows tests (tests/fakes/build_service_pool).
file(GLOB fake_service_sources CONFIGURE_DEPENDS ${fakes}/build_service/*.cpp)
file(GLOB fake_service_headers CONFIGURE_DEPENDS ${fakes}/build_service/*.h)
set(linux_fakes ${PROJECT_BINARY_DIR}/fakes/linux)
set(linux_fake_flags -std=c++23 -O1 -Wall -Wextra -pthread)
add_custom_command(OUTPUT ${linux_fakes}/fake-build-service
  COMMAND ${CMAKE_COMMAND} -E make_directory ${linux_fakes}
  COMMAND ${FORGESET_LINUX_CXX} ${linux_fake_flags} -o ${linux_fakes}/fake-build-service
    ${fake_service_sources}
  DEPENDS ${fake_service_sources} ${fake_service_headers}
  COMMENT "Building the fake build service for Linux")
add_custom_command(OUTPUT ${linux_fakes}/fake-build-service-pool
  COMMAND ${CMAKE_COMMAND} -E make_directory ${linux_fakes}
  COMMAND ${FORGESET_LINUX_CXX} ${linux_fake_flags} -o ${linux_fakes}/fake-build-service-pool
    ${fakes}/build_service_pool/main.cpp ${fakes}/build_service/wire.cpp
  DEPENDS ${fakes}/build_service_pool/main.cpp ${fakes}/build_service/wire.cpp
    ${fakes}/build_service/wire.h
  COMMENT "Building the fake build service pool for Linux")
add_custom_target(linux-fakes ALL
  DEPENDS ${linux_fakes}/fake-build-service ${linux_fakes}/fake-build-service-pool)

# Paths the Windows tests open: Wine's drive Z: is the Linux root.
set(pool_file ${PROJECT_BINARY_DIR}/fakes/build-service-pool.url)
file(GLOB support_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/support/*.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/win32/*.cpp)
add_library(forgeset_test_support STATIC ${support_sources})
set(test_compile_options -O1 -g1)
target_compile_options(forgeset_test_support PRIVATE ${test_compile_options})
target_include_directories(forgeset_test_support PUBLIC ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(forgeset_test_support PUBLIC forgeset_shell GTest::gtest nlohmann_json::nlohmann_json)
target_compile_definitions(forgeset_test_support PUBLIC
  FORGESET_FAKES_DIR="Z:${PROJECT_BINARY_DIR}/fakes/bin"
  FORGESET_SOURCE_DIR="Z:${PROJECT_SOURCE_DIR}"
  FORGESET_TOOL_PATH="Z:$<TARGET_FILE:forgeset-server-tool>"
  FORGESET_FAKE_ASSETS_PATH="Z:$<TARGET_FILE:fake-forgeset-assets>"
  FORGESET_FAKE_TAR_PATH="Z:$<TARGET_FILE:fake-tar>"
  FORGESET_FAKE_WINDOWS_RUNNER_PATH="Z:$<TARGET_FILE:fake-windows-runner>"
  FORGESET_FAKE_BUILD_SERVICE_POOL_FILE="Z:${pool_file}")

# Before the first Windows test: the pool of fake build services on loopback, the fake
# tar.exe in the Wine prefix's system folder and the fake opener registered there. After the
# last: the pool ends.
set(wine_fixture ${fakes}/wine_fixture.sh)
add_test(NAME windows.fakes.start COMMAND sh ${wine_fixture} start ${pool_file}
  ${linux_fakes}/fake-build-service-pool ${linux_fakes}/fake-build-service $<TARGET_FILE:fake-tar>
  $<TARGET_FILE:fake-opener>)
add_test(NAME windows.fakes.stop COMMAND sh ${wine_fixture} stop ${pool_file}
  ${linux_fakes}/fake-build-service-pool)
set_tests_properties(windows.fakes.start PROPERTIES FIXTURES_SETUP windows_fakes)
set_tests_properties(windows.fakes.stop PROPERTIES FIXTURES_CLEANUP windows_fakes)

# The browser host's tests that mean the same on Windows: its screening, the page channel,
# shim and embedded files, and the host itself over loopback for its encodings, its delivery
# and the page-drawn dialogs. The others start the Linux tool, send it signals, list folders
# through POSIX modes or read its app data under XDG_DATA_HOME; the Playwright journeys under
# Wine cover the Windows host as a whole.
set(shell_windows_tests serve_security page_channel page_shim embedded_content serve_encoding
  serve_delivery serve_dialogs)
list(TRANSFORM shell_windows_tests REPLACE "^(.+)$" "${PROJECT_SOURCE_DIR}/tests/shell/\\1_test.cpp")
# Of those, a new owner's start in the home folder is a Linux home (HOME) and the lagging page
# starts the Linux tool as a child; both stay Linux tests.
set(shell_windows_filter
  "-ServeDialogs.ANewOwnerChoosesTheServerFolderInThePage:BusyServerTool.APageThatLagsFarBehindIsLetGoAndCatchesUpWhenItComesBack")

foreach(area platform bridge server studio species remote shell)
  if(area STREQUAL "shell")
    set(test_sources ${shell_windows_tests})
  else()
    file(GLOB test_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${area}/*_test.cpp)
  endif()
  # What only Linux means is tested in the Linux build.
  list(FILTER test_sources EXCLUDE REGEX "_posix_test\\.cpp$")
  if(test_sources)
    add_executable(${area}_tests ${test_sources})
    target_compile_options(${area}_tests PRIVATE ${test_compile_options})
    target_link_libraries(${area}_tests PRIVATE forgeset_test_support GTest::gtest_main)
    add_dependencies(${area}_tests forgeset-server-tool fake-forgeset-assets fake-powershell
      fake-tar fake-opener fake-windows-runner linux-fakes)
    # Listed when the tests run, through Wine, not at build time.
    set(filter "")
    if(area STREQUAL "shell")
      set(filter TEST_FILTER ${shell_windows_filter})
    endif()
    gtest_discover_tests(${area}_tests TEST_PREFIX "${area}." DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60 ${filter} PROPERTIES FIXTURES_REQUIRED windows_fakes)
  endif()
endforeach()

# ---------------------------------------------------------------- the desktop window
# The default host: the frameless main window with Microsoft's WebView2 control, which shows
# the embedded page. The SDK is the NuGet package Microsoft.Web.WebView2, restored by
# scripts/setup.sh at the version scripts/webview2/webview2.csproj pins; its header is used
# as it ships (webview2_sdk/ holds the one shim mingw-w64 needs) and its loader DLL ships
# beside the executable, since the static loader is an MSVC library.
file(STRINGS ${PROJECT_SOURCE_DIR}/scripts/webview2/webview2.csproj webview2_reference
  REGEX "Microsoft\\.Web\\.WebView2")
string(REGEX REPLACE ".*Version=\"([0-9.]+)\".*" "\\1" webview2_version "${webview2_reference}")
set(FORGESET_NUGET_DIR ${PROJECT_SOURCE_DIR}/build-windows/nuget CACHE PATH
  "Where scripts/setup.sh restores the NuGet packages of the Windows build")
set(webview2 ${FORGESET_NUGET_DIR}/microsoft.web.webview2/${webview2_version}/build/native)
if(NOT EXISTS ${webview2}/include/WebView2.h)
  message(FATAL_ERROR "The WebView2 SDK ${webview2_version} is missing: run scripts/setup.sh")
endif()
# The options object keeps the SDK's default target browser version, which its header names.
file(STRINGS ${webview2}/include/WebView2EnvironmentOptions.h webview2_target
  REGEX "define CORE_WEBVIEW_TARGET_PRODUCT_VERSION")
string(REGEX REPLACE ".*L\"([0-9.]+)\".*" "\\1" webview2_target "${webview2_target}")
target_include_directories(forgeset_platform SYSTEM PRIVATE ${webview2}/include
  ${PROJECT_SOURCE_DIR}/src/platform/win32/webview2_sdk)
target_compile_definitions(forgeset_platform PRIVATE
  "FORGESET_WEBVIEW2_TARGET_VERSION=L\"${webview2_target}\"")
target_link_libraries(forgeset_platform PUBLIC user32 gdi32 dwmapi shlwapi ole32 oleaut32 uuid)
configure_file(${webview2}/x64/WebView2Loader.dll ${PROJECT_BINARY_DIR}/WebView2Loader.dll
  COPYONLY)

target_sources(forgeset_shell PRIVATE ${shell}/desktop_host.cpp)

# A windows program, so no console window opens with it; wWinMain takes the wide command line.
set_target_properties(forgeset-server-tool PROPERTIES WIN32_EXECUTABLE TRUE)
target_link_options(forgeset-server-tool PRIVATE -municode)

# The window's tests: the main window, the item dialogs and the tool without the WebView2
# runtime. Each test program gets an Xvfb display of its own (with_xvfb.sh), since Wine
# returns from dialogs and message boxes at once without one.
file(GLOB window_test_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/shell/win32/*_test.cpp)
add_executable(shell_window_tests ${window_test_sources})
target_compile_options(shell_window_tests PRIVATE ${test_compile_options})
target_link_libraries(shell_window_tests PRIVATE forgeset_test_support GTest::gtest_main)
add_dependencies(shell_window_tests forgeset-server-tool)
set_target_properties(shell_window_tests PROPERTIES CROSSCOMPILING_EMULATOR
  "sh;${PROJECT_SOURCE_DIR}/tests/shell/win32/with_xvfb.sh;${FORGESET_WINE}")
gtest_discover_tests(shell_window_tests TEST_PREFIX "shell." DISCOVERY_MODE PRE_TEST
  DISCOVERY_TIMEOUT 60)

# The zip an owner unpacks (scripts/package-windows.sh), built and started from a fresh folder.
add_test(NAME windows.package COMMAND sh ${PROJECT_SOURCE_DIR}/tests/windows/package_test.sh
  ${PROJECT_SOURCE_DIR} $<TARGET_FILE:fake-forgeset-assets>)
set_tests_properties(windows.package PROPERTIES TIMEOUT 300)

# The page's journeys in Debian's chromium against this executable's --serve under Wine (the
# harness starts a .exe through wine in the run's prefix, naming its paths on drive Z:): the
# Server and Resources pages, the Skins page, the page-drawn folder and file dialogs, and the
# Species page from creating a species through importing a folder in the page's dialog (with
# the fake helper) to the local build with the fake powershell.exe; the Species page's other
# journeys are the page's own and run in the Linux build. Wine gives every Windows process the
# prefix's one app data folder whatever the environment says, so the journeys take turns.
find_program(NODE node REQUIRED)
set(species_page_journeys "^(refuses bad names|imports a folder|edits roles|builds locally)")
foreach(e2e_name server_pages skins dialogs species_page)
  set(e2e_filter "")
  if(e2e_name STREQUAL "species_page")
    set(e2e_filter "--test-name-pattern=${species_page_journeys}")
  endif()
  add_test(NAME windows.e2e.${e2e_name}
    COMMAND ${NODE} --test ${e2e_filter} ${PROJECT_SOURCE_DIR}/tests/e2e/${e2e_name}.test.js)
  set_tests_properties(windows.e2e.${e2e_name} PROPERTIES
    ENVIRONMENT "FORGESET_TOOL=$<TARGET_FILE:forgeset-server-tool>;FORGESET_FAKE_ASSETS=$<TARGET_FILE:fake-forgeset-assets>"
    RESOURCE_LOCK wine_app_data TIMEOUT 300)
endforeach()
