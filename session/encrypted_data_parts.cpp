#include "session/encrypted_data_parts.h"

#include <openssl/asn1.h>
#include <openssl/err.h>

#include <climits>

namespace dovrel {
namespace {

struct Element {
  const unsigned char* start = nullptr;    // the identifier octet
  const unsigned char* content = nullptr;  // the first content octet
  const unsigned char* next = nullptr;     // just past the content
  int tag = 0;
  int tagClass = 0;
  bool constructed = false;
};

// One definite-length element that lies wholly inside [p, end).
bool NextElement(const unsigned char* p, const unsigned char* end, Element* element) {
  if (p >= end) return false;
  std::size_t available = static_cast<std::size_t>(end - p);
  if (available > static_cast<std::size_t>(LONG_MAX)) return false;
  const unsigned char* q = p;
  long length = 0;
  int result =
      ASN1_get_object(&q, &length, &element->tag, &element->tagClass, static_cast<long>(available));
  if ((result & 0x80) != 0 || (result & 0x01) != 0) return false;  // damaged, or indefinite length
  element->start = p;
  element->content = q;
  element->next = q + length;  // ASN1_get_object has checked that it fits
  element->constructed = (result & V_ASN1_CONSTRUCTED) != 0;
  return true;
}

bool IsUniversal(const Element& element, int tag, bool constructed) {
  return element.tagClass == V_ASN1_UNIVERSAL && element.tag == tag &&
         element.constructed == constructed;
}

long SpanLength(const Element& element) { return static_cast<long>(element.next - element.start); }

// The version and the content type are checked by the library's own decoders,
// so this path accepts no value the full decoder would refuse.
bool IsValidInteger(const Element& element) {
  const unsigned char* p = element.start;
  UniquePtr<ASN1_STRING> value(d2i_ASN1_INTEGER(nullptr, &p, SpanLength(element)));
  return value != nullptr && p == element.next;
}

bool IsValidObject(const Element& element) {
  const unsigned char* p = element.start;
  UniquePtr<ASN1_OBJECT> value(d2i_ASN1_OBJECT(nullptr, &p, SpanLength(element)));
  return value != nullptr && p == element.next;
}

bool ReadParts(const unsigned char* der, std::size_t length, EncryptedDataParts* parts) {
  Element body;
  if (!NextElement(der, der + length, &body) || !IsUniversal(body, V_ASN1_SEQUENCE, true)) {
    return false;
  }
  Element version;
  if (!NextElement(body.content, body.next, &version) ||
      !IsUniversal(version, V_ASN1_INTEGER, false) || !IsValidInteger(version)) {
    return false;
  }
  Element info;  // EncryptedContentInfo, the last element of the body
  if (!NextElement(version.next, body.next, &info) || !IsUniversal(info, V_ASN1_SEQUENCE, true) ||
      info.next != body.next) {
    return false;
  }
  Element contentType;
  if (!NextElement(info.content, info.next, &contentType) ||
      !IsUniversal(contentType, V_ASN1_OBJECT, false) || !IsValidObject(contentType)) {
    return false;
  }
  Element algorithm;
  if (!NextElement(contentType.next, info.next, &algorithm) ||
      !IsUniversal(algorithm, V_ASN1_SEQUENCE, true)) {
    return false;
  }
  const unsigned char* p = algorithm.start;
  parts->algorithm.reset(d2i_X509_ALGOR(nullptr, &p, SpanLength(algorithm)));
  if (parts->algorithm == nullptr || p != algorithm.next) return false;

  parts->hasContent = algorithm.next != info.next;
  if (!parts->hasContent) return true;
  Element content;  // [0] IMPLICIT OCTET STRING
  if (!NextElement(algorithm.next, info.next, &content) ||
      content.tagClass != V_ASN1_CONTEXT_SPECIFIC || content.tag != 0 || content.constructed ||
      content.next != info.next) {
    return false;
  }
  parts->contentOffset = static_cast<std::size_t>(content.content - der);
  parts->contentLength = static_cast<std::size_t>(content.next - content.content);
  return true;
}

}  // namespace

bool ReadEncryptedDataParts(const unsigned char* der, std::size_t length,
                            EncryptedDataParts* parts) {
  if (der == nullptr || parts == nullptr) return false;
  ERR_set_mark();
  *parts = EncryptedDataParts{};
  bool read = ReadParts(der, length, parts);
  if (!read) *parts = EncryptedDataParts{};
  ERR_pop_to_mark();
  return read;
}

}  // namespace dovrel
