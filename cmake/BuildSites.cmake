# Builds, with the freshly built program itself, the sites that are installed beside it: the
# user guide (examples/Plovik.chm as a framed site, what Help shows where no CHM viewer is) and
# one sample site per template of the catalogue (what "View sample" shows).
#
#   cmake -DPLOVIK=... -DCHM=... -DOUT=... -P BuildSites.cmake
#
# A site is built into a fresh folder and then moved into place, so that a failed build never
# leaves half a site behind.

foreach(var PLOVIK CHM OUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "BuildSites.cmake needs -D${var}=")
    endif()
endforeach()

function(build_site name layout template title)
    set(staging ${OUT}/.${name}.new)
    file(REMOVE_RECURSE ${staging})
    file(MAKE_DIRECTORY ${staging})
    execute_process(
        COMMAND ${PLOVIK} build --chm ${CHM} --out ${staging} --layout ${layout}
                --template ${template} --title ${title} --log
        RESULT_VARIABLE result
        OUTPUT_VARIABLE log
        ERROR_VARIABLE log)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "Building the site ${name} failed (${result}):\n${log}")
    endif()
    file(REMOVE_RECURSE ${OUT}/${name})
    get_filename_component(parent ${OUT}/${name} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(RENAME ${staging} ${OUT}/${name})
endfunction()

build_site(help frame 0 "Plovik help")
build_site(samples/clarity frame 0 "Plovik sample")
build_site(samples/clarity-noframe noframe 0 "Plovik sample")
