# Compiler settings shared by every target of the project: link lumaro_common.
add_library(lumaro_common INTERFACE)
target_compile_features(lumaro_common INTERFACE cxx_std_20)
target_compile_options(lumaro_common INTERFACE
  $<$<CXX_COMPILER_ID:GNU,Clang>:-Wall -Wextra -Wold-style-cast>)
if(DEFINED ENV{CI})
  target_compile_options(lumaro_common INTERFACE $<$<CXX_COMPILER_ID:GNU,Clang>:-Werror>)
endif()
target_compile_definitions(lumaro_common INTERFACE
  QT_NO_KEYWORDS QT_DISABLE_DEPRECATED_BEFORE=0x060000)
if(WITH_ASAN)
  target_compile_options(lumaro_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
  target_link_options(lumaro_common INTERFACE -fsanitize=address,undefined)
endif()

# lumaro_add_library(<name> [DEPS targets...]): a static library of every .cpp directly in the
# calling folder (sub-folders are tools and fuzz targets of their own). A folder with no .cpp
# yet gives an INTERFACE library, so that targets above it can already link it.
function(lumaro_add_library name)
  cmake_parse_arguments(L "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(sources)
    add_library(${name} STATIC ${sources} ${headers})
    target_link_libraries(${name} PUBLIC lumaro_common ${L_DEPS})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE lumaro_common ${L_DEPS})
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
  endif()
endfunction()
