# The vendor's public keys in an updater: an update is installed only when signed with one of
# them. Each key is a file in PEM as `openssl pkey -pubout` writes it, of an ECDSA key on the
# curve P-256; the configuration refuses, naming it, any file that is not one. Reading the keys
# needs the openssl command, only when there are keys to read.
#   pulsaro_update_keys_source(<generated .cpp> <key file>...)
# writes the source that gives a program its keys (pulsaro_update/update_keys.h). A relative key
# file is taken from the top of the source tree.
include_guard(GLOBAL)

function(pulsaro_refuse_update_key key_file why)
  message(FATAL_ERROR "PULSARO_UPDATE_PUBLIC_KEYS: ${key_file} is not an ECDSA P-256 public key "
                      "in PEM as `openssl pkey -pubout` writes it: ${why}")
endfunction()

# Reads one key file: its point as C++ bytes and its fingerprint, the first 16 hex digits of the
# SHA-256 of the key in DER (what `openssl pkey -pubin -in KEY -outform DER | sha256sum` gives).
function(pulsaro_read_update_key key_file der_file bytes_var fingerprint_var)
  if(NOT EXISTS ${key_file} OR IS_DIRECTORY ${key_file})
    pulsaro_refuse_update_key(${key_file} "there is no such file")
  endif()
  file(STRINGS ${key_file} first_line LIMIT_COUNT 1)
  if(NOT first_line STREQUAL "-----BEGIN PUBLIC KEY-----")
    pulsaro_refuse_update_key(${key_file} "it does not start with -----BEGIN PUBLIC KEY-----")
  endif()
  find_program(PULSARO_OPENSSL openssl)
  if(NOT PULSARO_OPENSSL)
    message(FATAL_ERROR "PULSARO_UPDATE_PUBLIC_KEYS: reading the keys needs the openssl command "
                        "(Debian package openssl)")
  endif()
  execute_process(COMMAND ${PULSARO_OPENSSL} pkey -pubin -in ${key_file} -pubcheck -noout
                  RESULT_VARIABLE checked OUTPUT_QUIET ERROR_VARIABLE why)
  if(NOT checked EQUAL 0)
    string(STRIP "${why}" why)
    pulsaro_refuse_update_key(${key_file} "openssl cannot read it (${why})")
  endif()
  execute_process(COMMAND ${PULSARO_OPENSSL} pkey -pubin -in ${key_file} -outform DER
                          -ec_conv_form uncompressed -out ${der_file}
                  RESULT_VARIABLE converted OUTPUT_QUIET ERROR_VARIABLE why)
  file(READ ${der_file} der HEX)
  # A P-256 public key in DER (SubjectPublicKeyInfo) is this header, then the point's X and Y.
  set(p256_header "3059301306072a8648ce3d020106082a8648ce3d03010703420004")
  string(LENGTH "${p256_header}" header_length)
  string(LENGTH "${der}" der_length)
  math(EXPR key_info_length "${header_length} + 128")
  string(SUBSTRING "${der}" 0 ${header_length} header)
  if(NOT converted EQUAL 0 OR NOT der_length EQUAL key_info_length
     OR NOT header STREQUAL p256_header)
    pulsaro_refuse_update_key(${key_file} "it is a key of another kind or curve")
  endif()
  string(SUBSTRING "${der}" ${header_length} 128 point)
  string(REGEX REPLACE "(..)" "0x\\1," bytes "${point}")
  file(SHA256 ${der_file} digest)
  string(SUBSTRING "${digest}" 0 16 fingerprint)
  set(${bytes_var} "${bytes}" PARENT_SCOPE)
  set(${fingerprint_var} "${fingerprint}" PARENT_SCOPE)
endfunction()

function(pulsaro_update_keys_source output)
  get_filename_component(name ${output} NAME_WE)
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}.der)
  file(MAKE_DIRECTORY ${work})
  set(keys "")
  set(fingerprints "")
  set(described "")
  set(count 0)
  foreach(key_file IN LISTS ARGN)
    cmake_path(ABSOLUTE_PATH key_file BASE_DIRECTORY ${CMAKE_SOURCE_DIR} NORMALIZE)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${key_file})
    pulsaro_read_update_key(${key_file} ${work}/${count}.der bytes fingerprint)
    # A backup that is the current key again would be no backup at all.
    list(FIND fingerprints ${fingerprint} same)
    if(NOT same EQUAL -1)
      list(GET ARGN ${same} other)
      message(FATAL_ERROR "PULSARO_UPDATE_PUBLIC_KEYS: ${key_file} is the same key as ${other}")
    endif()
    list(APPEND fingerprints ${fingerprint})
    string(APPEND keys "    P256PublicKey{{${bytes}}},\n")
    string(APPEND described "\\n  sha256:${fingerprint}")
    math(EXPR count "${count} + 1")
  endforeach()
  if(count EQUAL 0)
    set(description "Updates are not verified: built without public keys, this updater installs\\n"
                    "whatever the server sends.\\n")
  else()
    set(description "Updates are verified: this updater installs only what is signed with one of\\n"
                    "these keys (SHA-256 of each public key in DER, first 16 hex digits):"
                    "${described}\\n")
  endif()
  string(JOIN "" description ${description})
  file(CONFIGURE OUTPUT ${output} @ONLY CONTENT [=[
// Made by cmake/update_keys.cmake from the public keys the program was configured with.
#include "update_keys.h"

#include <array>

namespace pulsaro::update {
namespace {

constexpr std::array<P256PublicKey, @count@> kKeys{{
@keys@}};

}  // namespace

std::span<const P256PublicKey> builtInUpdateKeys() {
    return kKeys;
}

std::string_view updateKeysDescription() {
    return "@description@";
}

}  // namespace pulsaro::update
]=])
endfunction()
