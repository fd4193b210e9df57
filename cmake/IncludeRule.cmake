# What may include what (docs/developing.md, "The layers"), checked when the
# build is configured: a library that includes a program, a library that
# includes one above it, or a program that includes another program stops
# the build here, naming the file and the line.
#
# An include is "folder/file.h"; its folder names a library under lib/, the
# bus library (velk/), or a program's own folder. Outside velk/ itself only
# its public headers may be included: the rest is its private memory layout.

set(corvane_lib_layers common protocol formats chart signals windows client framework windowapp)
# What each library may include besides itself: the ones below it, and velk/.
set(corvane_may_include_common "")
set(corvane_may_include_protocol common velk)
set(corvane_may_include_formats common protocol velk)
set(corvane_may_include_chart common protocol formats velk)
set(corvane_may_include_signals common protocol formats chart velk)
set(corvane_may_include_windows common protocol formats chart signals velk)
set(corvane_may_include_client common protocol formats chart signals windows velk)
set(corvane_may_include_framework common protocol formats chart signals windows velk)
set(corvane_may_include_windowapp common protocol formats chart signals windows client framework velk)
set(corvane_may_include_velk common protocol velk)
# A program's own include folders; every other program's are out of its reach.
set(corvane_program_corvane app bus console logview res)
set(corvane_program_velkctl velkctl)
set(corvane_program_velkscope velkscope)
set(corvane_program_velkpanel velkpanel)
set(corvane_programs corvane velkctl velkscope velkpanel)
set(corvane_velk_public VelkApi.h VelkLibrary.h VelkResults.h)

function(corvane_check_includes folder allowed velk_private_allowed)
    file(GLOB_RECURSE sources ${CMAKE_SOURCE_DIR}/${folder}/*.h ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
    set(known ${corvane_lib_layers} velk)
    foreach(program ${corvane_programs})
        list(APPEND known ${corvane_program_${program}})
    endforeach()
    foreach(source ${sources})
        file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
        foreach(line ${includes})
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/.*" "\\1" included "${line}")
            list(FIND known ${included} isOurs)
            list(FIND allowed ${included} isAllowed)
            file(RELATIVE_PATH shown ${CMAKE_SOURCE_DIR} ${source})
            if(NOT isOurs EQUAL -1 AND isAllowed EQUAL -1)
                message(FATAL_ERROR "${shown}: ${line}: ${folder}/ may not include ${included}/ "
                                    "(docs/developing.md, \"The layers\")")
            endif()
            if(included STREQUAL "velk" AND NOT velk_private_allowed)
                string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"velk/([^\"]+)\".*" "\\1" header "${line}")
                list(FIND corvane_velk_public ${header} isPublic)
                if(isPublic EQUAL -1)
                    string(JOIN ", " public ${corvane_velk_public})
                    message(FATAL_ERROR "${shown}: ${line}: only velk's public headers "
                                        "(${public}) may be included outside velk/ "
                                        "(docs/developing.md, \"The layers\")")
                endif()
            endif()
        endforeach()
    endforeach()
endfunction()

foreach(layer ${corvane_lib_layers})
    corvane_check_includes(lib/${layer} "${layer};${corvane_may_include_${layer}}" FALSE)
endforeach()
corvane_check_includes(velk "${corvane_may_include_velk}" TRUE)
foreach(program ${corvane_programs})
    if(IS_DIRECTORY ${CMAKE_SOURCE_DIR}/${program})
        corvane_check_includes(${program} "${corvane_lib_layers};velk;${corvane_program_${program}}" FALSE)
    endif()
endforeach()
