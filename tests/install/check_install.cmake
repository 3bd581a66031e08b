# Installs the build into a scratch prefix and checks what a desktop needs:
#   bin/velmora and bin/velmora-cli (when the tool is part of the build, with
#     lib/velmora/velmora-cli-full.so),
#   nothing else in bin/ (no test or documentation tools),
#   share/applications/velmora.desktop, valid, whose Exec and Icon resolve,
#     whose Exec takes a file (%f) and whose MimeType names the document type,
#   share/icons/hicolor/NxN/apps/velmora.png, really N x N pixels,
#   share/mime/packages/velmora.xml, defining that type by the glob *.sp and
#     the documents' magic number, and (where the tool exists) the MIME
#     database built from it.
# Run as: cmake -DBUILD_DIR=.. -DPREFIX=.. -DBINDIR=bin -DDATADIR=share
#               -DWITH_CLI=0|1 -DDESKTOP_FILE_VALIDATE=path
#               -DUPDATE_MIME_DATABASE=path -P check_install.cmake

function(fail text)
    message(FATAL_ERROR "install_layout: ${text}")
endfunction()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(
    COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
    RESULT_VARIABLE installResult OUTPUT_VARIABLE installLog ERROR_VARIABLE installLog)
if(NOT installResult EQUAL 0)
    fail("cmake --install failed (${installResult}):\n${installLog}")
endif()

# The executables, and nothing but them.
set(expected velmora)
if(WITH_CLI)
    list(APPEND expected velmora-cli)
endif()
file(GLOB installed RELATIVE "${PREFIX}/${BINDIR}" "${PREFIX}/${BINDIR}/*")
list(SORT installed)
list(SORT expected)
if(NOT installed STREQUAL expected)
    fail("${BINDIR}/ holds '${installed}', expected '${expected}'")
endif()
foreach(program IN LISTS expected)
    execute_process(COMMAND test -x "${PREFIX}/${BINDIR}/${program}" RESULT_VARIABLE notExecutable)
    if(notExecutable)
        fail("${BINDIR}/${program} is not executable")
    endif()
endforeach()

# The installed tool runs from its new place (no build-tree library paths),
# its usage coming from the module of the full tool in lib/velmora.
if(WITH_CLI)
    if(NOT EXISTS "${PREFIX}/lib/velmora/velmora-cli-full.so")
        fail("lib/velmora/velmora-cli-full.so is not installed")
    endif()
    execute_process(COMMAND "${PREFIX}/${BINDIR}/velmora-cli" --help
        RESULT_VARIABLE cliResult OUTPUT_VARIABLE cliOut ERROR_VARIABLE cliOut)
    if(NOT cliResult EQUAL 0)
        fail("the installed velmora-cli --help failed (${cliResult}):\n${cliOut}")
    endif()
endif()

# The menu entry.
set(desktop "${PREFIX}/${DATADIR}/applications/velmora.desktop")
if(NOT EXISTS "${desktop}")
    fail("${DATADIR}/applications/velmora.desktop is not installed")
endif()
file(STRINGS "${desktop}" entry)
set(execLine "")
set(execArguments "")
set(iconName "")
set(mimeTypes "")
foreach(line IN LISTS entry)
    if(line MATCHES "^Exec=([^ ]+)(.*)$")
        set(execLine "${CMAKE_MATCH_1}")
        set(execArguments "${CMAKE_MATCH_2}")
    elseif(line MATCHES "^Icon=(.+)$")
        set(iconName "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^MimeType=(.+)$")
        set(mimeTypes "${CMAKE_MATCH_1}")
    endif()
endforeach()
if(NOT EXISTS "${PREFIX}/${BINDIR}/${execLine}")
    fail("the entry runs '${execLine}', which is not in ${BINDIR}/")
endif()
# A file manager hands a document over only to an entry that takes one.
if(NOT execArguments MATCHES "^ +%[fFuU]( |$)")
    fail("the entry's Exec line takes no file: '${execLine}${execArguments}'")
endif()
if(NOT mimeTypes MATCHES "application/x-velmora-spreadsheet;")
    fail("the entry names no document type (MimeType=${mimeTypes})")
endif()

# The document type: a suffix for the name, a magic number for the content.
set(mimePackage "${PREFIX}/${DATADIR}/mime/packages/velmora.xml")
if(NOT EXISTS "${mimePackage}")
    fail("${DATADIR}/mime/packages/velmora.xml is not installed")
endif()
file(READ "${mimePackage}" package)
foreach(expected
        "<mime-type type=\"application/x-velmora-spreadsheet\">"
        "<glob pattern=\"*.sp\"/>"
        "<match type=\"big32\" offset=\"0\" value=\"0x7F51C883\"/>")
    string(FIND "${package}" "${expected}" at)
    if(at EQUAL -1)
        fail("the MIME package lacks ${expected}")
    endif()
endforeach()
# The database built from it, as the install refreshes it in a live prefix:
# the tool accepted the package, and the type is known by name and content.
if(UPDATE_MIME_DATABASE)
    set(mimeDir "${PREFIX}/${DATADIR}/mime")
    if(NOT EXISTS "${mimeDir}/application/x-velmora-spreadsheet.xml")
        fail("update-mime-database made nothing of the package")
    endif()
    file(STRINGS "${mimeDir}/globs2" globs REGEX "application/x-velmora-spreadsheet")
    if(NOT globs MATCHES ":application/x-velmora-spreadsheet:\\*\\.sp")
        fail("the MIME database has no *.sp glob: '${globs}'")
    endif()
    file(READ "${mimeDir}/magic" magic HEX)
    if(NOT magic MATCHES "7f51c883")
        fail("the MIME database has no rule for the documents' magic number")
    endif()
endif()

# The icon named by the entry, in a hicolor size folder that matches the
# image's real size (a theme looks it up by that folder).
file(GLOB icons "${PREFIX}/${DATADIR}/icons/hicolor/*/apps/${iconName}.png")
if(NOT icons)
    fail("no ${iconName}.png under ${DATADIR}/icons/hicolor/*/apps/")
endif()
foreach(icon IN LISTS icons)
    file(READ "${icon}" header LIMIT 24 HEX)
    if(NOT header MATCHES "^89504e470d0a1a0a")
        fail("${icon} is not a PNG image")
    endif()
    string(SUBSTRING "${header}" 32 8 widthHex)
    string(SUBSTRING "${header}" 40 8 heightHex)
    math(EXPR width "0x${widthHex}")
    math(EXPR height "0x${heightHex}")
    get_filename_component(sizeDir "${icon}" DIRECTORY)
    get_filename_component(sizeDir "${sizeDir}" DIRECTORY)
    get_filename_component(sizeDir "${sizeDir}" NAME)
    if(NOT sizeDir STREQUAL "${width}x${height}")
        fail("${icon} is ${width}x${height} pixels but sits in ${sizeDir}/")
    endif()
endforeach()

# Last, so that every other check has run when the tool is missing.
if(NOT DESKTOP_FILE_VALIDATE)
    message("desktop-file-validate is not installed: the entry's syntax is not checked")
    return()
endif()
execute_process(COMMAND "${DESKTOP_FILE_VALIDATE}" "${desktop}"
    RESULT_VARIABLE validateResult OUTPUT_VARIABLE validateOut ERROR_VARIABLE validateOut)
if(NOT validateResult EQUAL 0 OR validateOut MATCHES "error")
    fail("desktop-file-validate rejects the entry:\n${validateOut}")
endif()
if(validateOut)
    message("desktop-file-validate: ${validateOut}")
endif()
message("install_layout: ${expected}, the menu entry, the document type and ${icons} are in place")
