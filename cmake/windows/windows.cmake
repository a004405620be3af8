# Windows: the executable's icon and version sheet, the DLLs and Qt plugins the program
# loads (copied beside it at install time, found from the binaries' imports), and the
# installer (NSIS) and portable zip that CPack makes. Included from dist/CMakeLists.txt,
# after the program's target and before include(CPack).

# The icon and the version sheet, linked into tapecalc.exe.
enable_language(RC)
set(TAPECALC_ICO ${PROJECT_SOURCE_DIR}/art/icons/tapecalc.ico)
configure_file(${CMAKE_CURRENT_LIST_DIR}/tapecalc.rc.in tapecalc.rc @ONLY)
add_library(tapecalc_resources OBJECT ${CMAKE_CURRENT_BINARY_DIR}/tapecalc.rc)
set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/tapecalc.rc APPEND PROPERTY
    OBJECT_DEPENDS ${TAPECALC_ICO})
target_link_libraries(tapecalc PRIVATE tapecalc_resources)

# The Qt plugins the window loads, by the kind Qt files them under: the Windows platform,
# the native style (the message boxes) and JPEG for the key pictures in anniu/. Qt's print
# support needs no plugin on Windows, and the cues go to waveOut, outside Qt.
set(tapecalc_plugin_kinds platforms:qwindows styles imageformats:qjpeg)
set(tapecalc_plugins)
foreach(module Gui Widgets)
    get_target_property(names Qt6::${module} _qt_plugins)
    foreach(name IN LISTS names)
        if(NOT TARGET Qt6::${name})
            continue()
        endif()
        get_target_property(kind Qt6::${name} QT_PLUGIN_TYPE)
        get_target_property(file Qt6::${name} IMPORTED_LOCATION_RELEASE)
        if(NOT file)
            get_target_property(file Qt6::${name} IMPORTED_LOCATION)
        endif()
        get_filename_component(base ${file} NAME_WE)
        if(kind IN_LIST tapecalc_plugin_kinds OR "${kind}:${base}" IN_LIST tapecalc_plugin_kinds)
            list(APPEND tapecalc_plugins ${file})
            install(FILES ${file} DESTINATION ${CMAKE_INSTALL_BINDIR}/${kind})
        endif()
    endforeach()
endforeach()
list(REMOVE_DUPLICATES tapecalc_plugins)
if(NOT tapecalc_plugins MATCHES "qwindows")
    message(FATAL_ERROR "This Qt has no Windows platform plugin (qwindows.dll)")
endif()

# Where the DLLs are found: Qt's bin folder and the MinGW runtime (libstdc++, libgcc,
# winpthread), asked from the compiler rather than written down per version.
set(tapecalc_dll_dirs)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${path}")
        get_filename_component(dir ${path} DIRECTORY)
        list(APPEND tapecalc_dll_dirs ${dir})
    endif()
endforeach()
list(REMOVE_DUPLICATES tapecalc_dll_dirs)

# The program's own modules, loaded when first used (tapecalc-print): no
# import names them, so they are listed here, and what they import is deployed too (Qt
# Print Support).
get_property(tapecalc_module_targets GLOBAL PROPERTY TAPECALC_MODULES)
set(tapecalc_module_files)
foreach(module IN LISTS tapecalc_module_targets)
    list(APPEND tapecalc_module_files $<TARGET_FILE:${module}>)
endforeach()

# At install time: every DLL the program, its modules and its plugins import, and what
# those import in turn, from the folders above. Names that are in none of them are
# Windows' own (KERNEL32, USER32, ...); a Qt or MinGW library among them means a broken Qt.
# CMake looks the imported names up in lower case, as Windows would; on a Linux file system
# the folders are offered through links named in lower case, and the files installed under
# their own names.
install(CODE "
    set(tapecalc_objdump [[${CMAKE_OBJDUMP}]])
    set(tapecalc_plugins [[${tapecalc_plugins}]])
    set(tapecalc_modules [[${tapecalc_module_files}]])
    set(tapecalc_dll_dirs [[$<TARGET_FILE_DIR:Qt6::Core>;${tapecalc_dll_dirs}]])
    set(tapecalc_dll_names [[${CMAKE_CURRENT_BINARY_DIR}/dll-names]])
    set(tapecalc_bin [[${CMAKE_INSTALL_BINDIR}]])
    set(tapecalc_strip [[${CMAKE_STRIP}]])
")
install(CODE [[
    file(REMOVE_RECURSE ${tapecalc_dll_names})
    file(MAKE_DIRECTORY ${tapecalc_dll_names})
    foreach(dir IN LISTS tapecalc_dll_dirs)
        file(GLOB dlls ${dir}/*.dll)
        foreach(dll IN LISTS dlls)
            get_filename_component(name ${dll} NAME)
            string(TOLOWER ${name} name)
            if(NOT EXISTS ${tapecalc_dll_names}/${name}) # the first folder wins, as on PATH
                file(CREATE_LINK ${dll} ${tapecalc_dll_names}/${name} SYMBOLIC)
            endif()
        endforeach()
    endforeach()
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND ${tapecalc_objdump})
    file(GET_RUNTIME_DEPENDENCIES
        EXECUTABLES $<TARGET_FILE:tapecalc>
        MODULES ${tapecalc_plugins} ${tapecalc_modules}
        DIRECTORIES ${tapecalc_dll_names}
        PRE_EXCLUDE_REGEXES "^api-ms-win-" "^ext-ms-"
        RESOLVED_DEPENDENCIES_VAR found
        UNRESOLVED_DEPENDENCIES_VAR system)
    foreach(name IN LISTS system)
        if(name MATCHES "^(qt6|libstdc|libgcc|libwinpthread)")
            message(FATAL_ERROR "${name} is imported but found in none of ${tapecalc_dll_dirs}")
        endif()
    endforeach()
    set(files)
    foreach(link IN LISTS found)
        file(REAL_PATH ${link} file)
        list(APPEND files ${file})
    endforeach()
    list(SORT files)
    file(INSTALL DESTINATION ${CMAKE_INSTALL_PREFIX}/${tapecalc_bin} TYPE SHARED_LIBRARY
        FILES ${files})
    # Stripped like the program when asked (cpack does): MinGW's runtime DLLs come with
    # their debugging sections, libstdc++ 23 MB of them.
    if(CMAKE_INSTALL_DO_STRIP)
        set(installed)
        foreach(file IN LISTS files)
            get_filename_component(name ${file} NAME)
            list(APPEND installed ${tapecalc_bin}/${name})
        endforeach()
        foreach(file IN LISTS tapecalc_plugins) # in bin/<kind>/, kind = their folder's name
            get_filename_component(dir ${file} DIRECTORY)
            get_filename_component(kind ${dir} NAME)
            get_filename_component(name ${file} NAME)
            list(APPEND installed ${tapecalc_bin}/${kind}/${name})
        endforeach()
        foreach(file IN LISTS installed)
            execute_process(COMMAND ${tapecalc_strip} --strip-unneeded
                $ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${file} COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
    endif()
]])

# The installer: 64-bit (the template in this folder), for the current user by default
# (%LOCALAPPDATA%\Programs\TapeCalc, no administrator rights), for all users into Program
# Files when chosen (/AllUsers), bin\ and share\tapecalc\ either way, with a Start menu
# entry and an uninstaller; and a portable zip, the same files as one program folder
# (portable-zip.cmake), to run from any folder.
set(CPACK_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_GENERATOR NSIS ZIP)
unset(CPACK_PACKAGING_INSTALL_PREFIX)
set(CPACK_PACKAGE_INSTALL_DIRECTORY TapeCalc)
set(CPACK_PACKAGE_EXECUTABLES tapecalc TapeCalc)
set(CPACK_NSIS_PACKAGE_NAME TapeCalc)
# The name in Apps & features is the winget manifest's PackageName, without the version
# (that is DisplayVersion): winget matches an installed program to its package by it.
set(CPACK_NSIS_DISPLAY_NAME ${CPACK_NSIS_PACKAGE_NAME})
set(CPACK_NSIS_MUI_ICON ${TAPECALC_ICO})
set(CPACK_NSIS_MUI_UNIICON ${TAPECALC_ICO})
set(CPACK_NSIS_INSTALLED_ICON_NAME "${CMAKE_INSTALL_BINDIR}\\\\tapecalc.exe")
set(CPACK_NSIS_URL_INFO_ABOUT ${TAPECALC_HOMEPAGE})
set(CPACK_NSIS_MUI_FINISHPAGE_RUN tapecalc.exe)
# The file names differ per generator: TapeCalc-1.0.0-win64-setup.exe, TapeCalc-1.0.0-win64.zip.
set(CPACK_PACKAGE_FILE_NAME TapeCalc-${PROJECT_VERSION}-win64)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-names.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/portable-zip.cmake)
# After the installer: its winget manifest with its SHA-256 (packages/winget/).
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/dist/windows/winget.cmake)
set(CPACK_TAPECALC_WINGET_TEMPLATES ${PROJECT_SOURCE_DIR}/dist/windows)
set(CPACK_TAPECALC_WINGET_ID TapeCalc.TapeCalc)
set(CPACK_TAPECALC_HOMEPAGE ${TAPECALC_HOMEPAGE})
set(CPACK_TAPECALC_RELEASE_TAG v${PROJECT_VERSION})
set(CPACK_TAPECALC_RELEASE_DATE ${TAPECALC_RELEASE_DATE})
set(CPACK_TAPECALC_INSTALLER_URL
    ${TAPECALC_HOMEPAGE}/releases/download/${CPACK_TAPECALC_RELEASE_TAG}/TapeCalc-${PROJECT_VERSION}-win64-setup.exe)
set(CPACK_TAPECALC_BINDIR ${CMAKE_INSTALL_BINDIR})
set(CPACK_TAPECALC_SHARED_DIR ${TAPECALC_SHARED_DIR})

# The installer and the zip end to end under wine (tools/windows/smoke.sh): install, the
# installed program driven by key presses, the portable copy likewise, uninstall. Needs the
# packages made by cpack first; skipped without them.
if(BUILD_TESTING)
    add_test(NAME installer COMMAND bash ${PROJECT_SOURCE_DIR}/tools/windows/smoke.sh
        ${CMAKE_BINARY_DIR}/packages/TapeCalc-${PROJECT_VERSION}-win64-setup.exe)
    set_tests_properties(installer PROPERTIES LABELS installer SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
