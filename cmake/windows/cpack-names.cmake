# Read by cpack once per generator: the installer's name says what it is
# (TapeCalc-1.0.0-win64-setup.exe beside TapeCalc-1.0.0-win64.zip).
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
