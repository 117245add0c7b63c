# The program as it ships. The Windows presets build it once, and that build is what the
# tests, the demo and the package all use: optimised, with its debug information moved to
# PROGRAM.exe.debug beside it (the program keeps a debug link to that file, by which gdb
# finds it), and, given a certificate, signed.

set(PRAVIK_SIGN_CERT "" CACHE FILEPATH
    "Code-signing certificate (PEM, with its chain) for the shipped program; empty: not signed")
set(PRAVIK_SIGN_KEY "" CACHE FILEPATH "Unencrypted private key (PEM) of PRAVIK_SIGN_CERT")

if(PRAVIK_SIGN_CERT OR PRAVIK_SIGN_KEY)
  if(NOT PRAVIK_SIGN_CERT OR NOT PRAVIK_SIGN_KEY)
    message(FATAL_ERROR "Signing needs both PRAVIK_SIGN_CERT and PRAVIK_SIGN_KEY")
  endif()
  find_program(PRAVIK_OSSLSIGNCODE osslsigncode REQUIRED)
endif()

# pravik_ship_program(TARGET): the post-link steps that make TARGET's file the shipped one,
# and release-info.sh in the build folder, which tells tools/package what to pack.
function(pravik_ship_program target)
  set(exe $<TARGET_FILE:${target}>)
  # MinGW's binutils move the DWARF out; MSVC keeps its debug information in a .pdb anyway.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_OBJCOPY)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${exe} ${exe}.debug
      COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${exe}.debug ${exe}
      COMMENT "Moving the debug information of ${target} to its .debug file"
      VERBATIM)
    set_property(TARGET ${target} APPEND PROPERTY ADDITIONAL_CLEAN_FILES ${exe}.debug)
  endif()
  if(PRAVIK_SIGN_CERT)
    # Last: a signature covers the file as it is, and the steps above change it.
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E rm -f ${exe}.signed
      COMMAND ${PRAVIK_OSSLSIGNCODE} sign -certs ${PRAVIK_SIGN_CERT} -key ${PRAVIK_SIGN_KEY}
              -h sha256 -n ${PROJECT_NAME} -in ${exe} -out ${exe}.signed
      COMMAND ${CMAKE_COMMAND} -E rename ${exe}.signed ${exe}
      COMMENT "Signing ${target}"
      VERBATIM)
    # A new certificate signs the program anew.
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${PRAVIK_SIGN_CERT} ${PRAVIK_SIGN_KEY})
  endif()
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(platform win64)
  else()
    set(platform win32)
  endif()
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/release-info.sh CONTENT
       "version='${PROJECT_VERSION}'\nplatform='${platform}'\nexe='${exe}'\n")
endfunction()
