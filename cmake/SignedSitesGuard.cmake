# A package signed as the bank's must name the bank's sites: neither every site
# ("*") nor, by a slip, none (an empty or blank list). Runs in the configure
# step, and alone with cmake -P for its test.
string(STRIP "${DOVREL_ALLOWED_SITES}" signed_sites)
if(DOVREL_SIGN_CERT AND signed_sites MATCHES "^[*]?$")
  message(FATAL_ERROR "DOVREL_SIGN_CERT is set but DOVREL_ALLOWED_SITES is \"${signed_sites}\": "
    "refusing to package a control for every site or for none. Set -DDOVREL_ALLOWED_SITES to the "
    "bank's sites.")
endif()
