# Third-party libraries as imported targets zq::zlib, zq::png, zq::jpeg, zq::freetype, zq::ogg,
# zq::vorbis, zq::vorbisfile.
#   host:    Debian's -dev packages.
#   windows: static libraries cross-built by tools/build-windows-deps.sh into ZQ_DEPS_PREFIX;
#            zlib from Debian's libz-mingw-w64-dev.

function(zq_import_static name library include_dir)
  if(NOT EXISTS ${library})
    message(FATAL_ERROR "${name}: ${library} is missing (run tools/build-windows-deps.sh)")
  endif()
  add_library(zq::${name} STATIC IMPORTED GLOBAL)
  set_target_properties(zq::${name} PROPERTIES
    IMPORTED_LOCATION ${library}
    INTERFACE_INCLUDE_DIRECTORIES "${include_dir}")
endfunction()

if(ZQ_WINDOWS)
  # Asked on every configure (not cached), so a new pin in the script takes effect at once;
  # -DZQ_DEPS_PREFIX=... overrides it.
  if(NOT ZQ_DEPS_PREFIX)
    execute_process(COMMAND ${PROJECT_SOURCE_DIR}/tools/build-windows-deps.sh --print-prefix
      OUTPUT_VARIABLE ZQ_DEPS_PREFIX OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
  set(mingw /usr/x86_64-w64-mingw32)
  set(p ${ZQ_DEPS_PREFIX})
  zq_import_static(zlib ${mingw}/lib/libz.a ${mingw}/include)
  if(EXISTS ${p}/lib/libpng16.a)
    zq_import_static(png ${p}/lib/libpng16.a ${p}/include)
    zq_import_static(jpeg ${p}/lib/libjpeg.a ${p}/include)
    zq_import_static(freetype ${p}/lib/libfreetype.a ${p}/include/freetype2)
    zq_import_static(ogg ${p}/lib/libogg.a ${p}/include)
    zq_import_static(vorbis ${p}/lib/libvorbis.a ${p}/include)
    zq_import_static(vorbisfile ${p}/lib/libvorbisfile.a ${p}/include)
    set(ZQ_HAVE_DEPS ON)
  else()
    message(WARNING "Windows dependencies not found in ${ZQ_DEPS_PREFIX}; run tools/build-windows-deps.sh")
    set(ZQ_HAVE_DEPS OFF)
  endif()
else()
  find_package(ZLIB REQUIRED)
  find_package(PNG REQUIRED)
  find_package(JPEG REQUIRED)
  find_package(Freetype REQUIRED)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(ZQ_VORBISFILE REQUIRED IMPORTED_TARGET vorbisfile)
  add_library(zq::zlib ALIAS ZLIB::ZLIB)
  add_library(zq::png ALIAS PNG::PNG)
  add_library(zq::jpeg ALIAS JPEG::JPEG)
  add_library(zq::freetype ALIAS Freetype::Freetype)
  add_library(zq::vorbisfile ALIAS PkgConfig::ZQ_VORBISFILE)
  set(ZQ_HAVE_DEPS ON)
endif()

if(ZQ_WINDOWS AND ZQ_HAVE_DEPS)
  set_property(TARGET zq::png APPEND PROPERTY INTERFACE_LINK_LIBRARIES zq::zlib)
  set_property(TARGET zq::freetype APPEND PROPERTY INTERFACE_LINK_LIBRARIES zq::zlib)
  set_property(TARGET zq::vorbis APPEND PROPERTY INTERFACE_LINK_LIBRARIES zq::ogg)
  set_property(TARGET zq::vorbisfile APPEND PROPERTY INTERFACE_LINK_LIBRARIES zq::vorbis)
endif()
