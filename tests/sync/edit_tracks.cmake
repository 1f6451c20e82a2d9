# Writes an edited copy of the show's key table, as an author's save would leave it: every linear key
# becomes smooth, quadratic keys gain a trailing comment and a Windows line ending, and every 13th track
# gets two more keys past its last, the tracks' new lines interleaved.
# Inputs: KEYS (tracks.txt), NAMES (track_names.txt), OUTPUT.
file(READ "${KEYS}" text)
file(STRINGS "${NAMES}" names)
string(REPLACE " linear\n" " smooth\n" text "${text}")
string(REPLACE " quadratic\n" " quadratic # eased\r\n" text "${text}")
set(first "")
set(second "")
list(LENGTH names count)
foreach(i RANGE 0 ${count} 13)
  if(i LESS count)
    list(GET names ${i} name)
    string(APPEND first "${name} 100000 ${i}.25 linear\n")
    string(APPEND second "${name} 100008 -1.5e-3 quartic\n")
  endif()
endforeach()
string(REPLACE "\nend\n" "\n# edited\n${first}${second}end\n" edited "${text}")
if(edited STREQUAL text)
  message(FATAL_ERROR "${KEYS}: no `end` line to add keys before")
endif()
file(WRITE "${OUTPUT}" "${edited}")
