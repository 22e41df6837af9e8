# Authenticode signing of what the Windows builds ship, by tools/sign. A bank
# signs with its own certificate and timestamp service by setting these cache
# variables (their first value comes from the environment of the first
# configure); without DOVREL_SIGN_CERT a test certificate made once in the
# build tree signs, and nothing is fetched from the network.
include_guard(GLOBAL)

set(DOVREL_SIGN_CERT "$ENV{DOVREL_SIGN_CERT}" CACHE FILEPATH
  "Signing certificate chain (PEM, signing certificate first) or PKCS#12 file; empty: the test certificate")
set(DOVREL_SIGN_KEY "$ENV{DOVREL_SIGN_KEY}" CACHE FILEPATH "Private key of DOVREL_SIGN_CERT (not with PKCS#12)")
set(DOVREL_SIGN_PASSWORD_FILE "$ENV{DOVREL_SIGN_PASSWORD_FILE}" CACHE FILEPATH "File holding the key's password")
set(DOVREL_SIGN_TIMESTAMP_URL "$ENV{DOVREL_SIGN_TIMESTAMP_URL}" CACHE STRING "RFC 3161 timestamp service; empty: none")
set(DOVREL_SIGN_CA "$ENV{DOVREL_SIGN_CA}" CACHE FILEPATH
  "CA the tests verify signatures against; empty: the test CA, or the system's CAs with DOVREL_SIGN_CERT")

# One test certificate for the checkout's Windows builds: the 64-bit installer
# carries the 32-bit build's module, and both must verify against one CA.
set(DOVREL_TEST_CERTIFICATE_DIR ${PROJECT_SOURCE_DIR}/build/test-certificate CACHE PATH
  "Where the test certificate is made once and kept")
# What tools/sign finds in its environment: exactly the configured signer.
set(dovrel_sign_env DOVREL_TEST_CERTIFICATE_DIR=${DOVREL_TEST_CERTIFICATE_DIR})
foreach(var DOVREL_SIGN_CERT DOVREL_SIGN_KEY DOVREL_SIGN_PASSWORD_FILE DOVREL_SIGN_TIMESTAMP_URL)
  if(${var})
    list(APPEND dovrel_sign_env "${var}=${${var}}")
  else()
    list(APPEND dovrel_sign_env --unset=${var})
  endif()
endforeach()

if(DOVREL_SIGN_CERT)
  set(dovrel_signer_files ${DOVREL_SIGN_CERT} ${DOVREL_SIGN_KEY})
  set(DOVREL_SIGNATURE_CA "${DOVREL_SIGN_CA}")
else()
  set(dovrel_signer_files ${DOVREL_TEST_CERTIFICATE_DIR}/signing.pem ${DOVREL_TEST_CERTIFICATE_DIR}/signing.key)
  set(DOVREL_SIGNATURE_CA ${DOVREL_TEST_CERTIFICATE_DIR}/test-ca.pem)
  add_custom_command(
    OUTPUT ${dovrel_signer_files} ${DOVREL_SIGNATURE_CA}
    COMMAND ${PROJECT_SOURCE_DIR}/tools/make-test-certificate ${DOVREL_TEST_CERTIFICATE_DIR}
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/make-test-certificate
    COMMENT "Test code-signing certificate in ${DOVREL_TEST_CERTIFICATE_DIR}"
    VERBATIM)
endif()
add_custom_target(dovrel_signer DEPENDS ${dovrel_signer_files})

# dovrel_sign(<signed-output> <input> [DEPENDS <targets or files>...])
# Signs a copy of <input> into <signed-output> when <input> changes.
function(dovrel_sign output input)
  cmake_parse_arguments(arg "" "" "DEPENDS" ${ARGN})
  get_filename_component(name ${output} NAME)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E env ${dovrel_sign_env} ${PROJECT_SOURCE_DIR}/tools/sign ${input} ${output}
    DEPENDS ${input} ${arg_DEPENDS} dovrel_signer ${dovrel_signer_files} ${PROJECT_SOURCE_DIR}/tools/sign
    COMMENT "Signing ${name}"
    VERBATIM)
endfunction()
