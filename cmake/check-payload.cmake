# Checks a payload before it becomes installation media: plugin/, samples/ and help/ must
# be there and hold only files, since setup installs the files of each folder and nothing
# below them.
#   cmake -DVELVOR_PAYLOAD=/path/to/payload -P check-payload.cmake
if(NOT VELVOR_PAYLOAD)
  message(FATAL_ERROR "check-payload.cmake: VELVOR_PAYLOAD is not set")
endif()
set(problems "")
foreach(folder plugin samples help)
  set(dir "${VELVOR_PAYLOAD}/${folder}")
  if(NOT IS_DIRECTORY "${dir}")
    string(APPEND problems "\n  ${dir} is missing")
    continue()
  endif()
  file(GLOB entries LIST_DIRECTORIES true "${dir}/*")
  foreach(entry IN LISTS entries)
    if(IS_DIRECTORY "${entry}")
      string(APPEND problems "\n  ${entry} is a folder; folders are not installed")
    endif()
  endforeach()
endforeach()
if(problems)
  message(FATAL_ERROR "The payload cannot be made into installation media:${problems}\n"
          "Setup installs only the files directly inside plugin/, samples/ and help/: move "
          "the files of each subfolder up, or leave the subfolder out.")
endif()
