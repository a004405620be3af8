# Run by cpack for each package once the program is installed into the staging folder.
# The zip is the program folder of a portable copy: tapecalc.exe with shengyin\, anniu\,
# help\, the DLLs and the Qt plugins beside it. With no share\tapecalc\ beside a bin\
# the program does not count itself installed: it keeps its tapes in a shujucuncu\ of its
# own folder when it can write there. The installer keeps bin\ and share\tapecalc\.
if(NOT CPACK_GENERATOR STREQUAL "ZIP")
    return()
endif()
set(top ${CPACK_TEMPORARY_INSTALL_DIRECTORY})
set(bin ${top}/${CPACK_TAPECALC_BINDIR})
set(shared ${top}/${CPACK_TAPECALC_SHARED_DIR})
file(GLOB items ${bin}/* ${shared}/*)
foreach(item IN LISTS items)
    get_filename_component(name ${item} NAME)
    if(EXISTS ${top}/${name})
        message(FATAL_ERROR "portable zip: ${name} is both in bin/ and in the top folder")
    endif()
    file(RENAME ${item} ${top}/${name})
endforeach()
# The emptied folders go, up to the top: nothing else is installed on Windows.
foreach(dir ${shared} ${bin})
    while(NOT dir STREQUAL top)
        file(GLOB left ${dir}/*)
        if(left)
            message(FATAL_ERROR "portable zip: ${dir} still holds ${left}")
        endif()
        file(REMOVE_RECURSE ${dir})
        get_filename_component(dir ${dir} DIRECTORY)
    endwhile()
endforeach()
