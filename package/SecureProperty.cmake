# Adds a public property to a package's SecureCustomProperties, those that a
# per-machine install passes on to its server side (wixl cannot list one, and
# writes the list itself for MajorUpgrade).
#   cmake -DMSIINFO=msiinfo -DMSIBUILD=msibuild -DPACKAGE=MSI -DPROPERTY=NAME -P SecureProperty.cmake
execute_process(COMMAND ${MSIINFO} export ${PACKAGE} Property
  OUTPUT_VARIABLE table RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot read the Property table of ${PACKAGE}")
endif()
if(table MATCHES "\nSecureCustomProperties\t([^\r\n]*)")
  set(query "UPDATE Property SET Value = '${CMAKE_MATCH_1};${PROPERTY}' WHERE Property = 'SecureCustomProperties'")
else()
  set(query "INSERT INTO Property (Property, Value) VALUES ('SecureCustomProperties', '${PROPERTY}')")
endif()
execute_process(COMMAND ${MSIBUILD} ${PACKAGE} -q "${query}" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot add ${PROPERTY} to the SecureCustomProperties of ${PACKAGE}")
endif()
