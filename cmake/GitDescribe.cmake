# Writes the git description of the source tree (for example
# "v1.0.0-4-g1a2b3c4d5e-dirty") to OUTPUT, or an empty file when the tree is
# not a git checkout or git is missing (a release tarball). The file is
# rewritten only when the description changed, so an unchanged checkout
# rebuilds nothing. Run at every build:
#   cmake -DSOURCE_DIR=<tree> -DOUTPUT=<file> -P GitDescribe.cmake
set(description "")
find_program(KELVORA_GIT git)
# Only the tree's own repository: a tarball unpacked inside some other
# checkout must not take that one's description.
if(KELVORA_GIT AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(COMMAND "${KELVORA_GIT}" describe --tags --always --abbrev=10
    WORKING_DIRECTORY "${SOURCE_DIR}"
    OUTPUT_VARIABLE description RESULT_VARIABLE rc
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT rc EQUAL 0)
    set(description "")
  endif()
  if(description)
    # Uncommitted changes to tracked files; asked read-only so the build
    # never writes to the repository (describe --dirty refreshes the index).
    execute_process(COMMAND "${KELVORA_GIT}" --no-optional-locks status --porcelain --untracked-files=no
      WORKING_DIRECTORY "${SOURCE_DIR}"
      OUTPUT_VARIABLE changes RESULT_VARIABLE rc
      OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(rc EQUAL 0 AND NOT changes STREQUAL "")
      string(APPEND description "-dirty")
    endif()
  endif()
endif()

if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL "${description}")
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${description}")
