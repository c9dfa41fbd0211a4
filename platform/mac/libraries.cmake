# The core's two libraries, libjpeg-turbo and uriparser, built from pinned sources for the oldest macOS the
# application supports and linked statically: Quillmere.app then needs nothing outside the system at run
# time, and the hardened runtime's library validation has no foreign dylib to refuse. They are built once,
# when the build is configured, so that pkg-config finds them (before any other copy) from then on.
set(qm_libraries ${CMAKE_BINARY_DIR}/libraries)

function(qm_static_library name repository commit)
  set(source ${qm_libraries}/${name}-source)
  if(EXISTS ${qm_libraries}/${name}.built)
    return()
  endif()
  message(STATUS "Building ${name} ${commit} as a static library")
  file(REMOVE_RECURSE ${source} ${source}-build)
  file(MAKE_DIRECTORY ${source})
  foreach(step "init --quiet" "fetch --quiet --depth 1 ${repository} ${commit}" "checkout --quiet FETCH_HEAD")
    separate_arguments(step)
    execute_process(COMMAND git -C ${source} ${step} COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${source} -B ${source}-build -G ${CMAKE_GENERATOR} -DCMAKE_BUILD_TYPE=Release
            -DCMAKE_C_COMPILER=${CMAKE_C_COMPILER} -DCMAKE_OSX_DEPLOYMENT_TARGET=${CMAKE_OSX_DEPLOYMENT_TARGET}
            -DCMAKE_OSX_ARCHITECTURES=${CMAKE_OSX_ARCHITECTURES} -DCMAKE_POSITION_INDEPENDENT_CODE=ON
            -DCMAKE_INSTALL_PREFIX=${qm_libraries} -DCMAKE_INSTALL_LIBDIR=lib ${ARGN}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${source}-build --target install OUTPUT_QUIET
                  COMMAND_ERROR_IS_FATAL ANY)
  file(TOUCH ${qm_libraries}/${name}.built)
endfunction()

qm_static_library(libjpeg-turbo https://github.com/libjpeg-turbo/libjpeg-turbo.git
                  c85e6b905bf237038faa936dab160ebfc5da0344  # 3.2.0
                  -DENABLE_SHARED=OFF -DWITH_TOOLS=OFF -DWITH_TESTS=OFF)
qm_static_library(uriparser https://github.com/uriparser/uriparser.git
                  9b2bed92f5deecf740819f9bf27724bee2fe9c12  # 1.0.2
                  -DURIPARSER_SHARED_LIBS=OFF -DURIPARSER_BUILD_DOCS=OFF -DURIPARSER_BUILD_TESTS=OFF
                  -DURIPARSER_BUILD_TOOLS=OFF -DURIPARSER_BUILD_WCHAR_T=OFF)
list(PREPEND CMAKE_PREFIX_PATH ${qm_libraries})
