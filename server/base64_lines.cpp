#include "server/base64_lines.h"

namespace dovrel::server {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

std::uint64_t Base64LinesLength(std::uint64_t bytes) {
  const std::uint64_t characters = (bytes + 2) / 3 * 4;
  return characters + (characters + kBase64LineLength - 1) / kBase64LineLength;
}

std::size_t Base64LineEncoder::MaxOutput(std::size_t length) {
  const std::size_t characters = (length + 2 + 2) / 3 * 4 + 4;
  return characters + characters / kBase64LineLength + 2;
}

char* Base64LineEncoder::Put(char ch, char* out) {
  *out++ = ch;
  if (++column_ == kBase64LineLength) {
    *out++ = '\n';
    column_ = 0;
  }
  return out;
}

char* Base64LineEncoder::PutGroup(unsigned a, unsigned b, unsigned c, char* out) {
  const unsigned bits = (a << 16) | (b << 8) | c;
  if (column_ + 4 < kBase64LineLength) {  // the common case: no line end inside
    out[0] = kAlphabet[(bits >> 18) & 63];
    out[1] = kAlphabet[(bits >> 12) & 63];
    out[2] = kAlphabet[(bits >> 6) & 63];
    out[3] = kAlphabet[bits & 63];
    column_ += 4;
    return out + 4;
  }
  out = Put(kAlphabet[(bits >> 18) & 63], out);
  out = Put(kAlphabet[(bits >> 12) & 63], out);
  out = Put(kAlphabet[(bits >> 6) & 63], out);
  return Put(kAlphabet[bits & 63], out);
}

std::size_t Base64LineEncoder::Encode(const unsigned char* data, std::size_t length, char* out) {
  char* const start = out;
  std::size_t i = 0;
  if (carried_ > 0) {
    while (carried_ < 2 && i < length) carry_[carried_++] = data[i++];
    if (i == length) return 0;
    out = PutGroup(carry_[0], carry_[1], data[i++], out);
    carried_ = 0;
  }
  for (; i + 3 <= length; i += 3) out = PutGroup(data[i], data[i + 1], data[i + 2], out);
  while (i < length) carry_[carried_++] = data[i++];
  return static_cast<std::size_t>(out - start);
}

std::size_t Base64LineEncoder::Finish(char* out) {
  char* const start = out;
  if (carried_ == 1) {
    const unsigned bits = static_cast<unsigned>(carry_[0]) << 16;
    out = Put(kAlphabet[(bits >> 18) & 63], out);
    out = Put(kAlphabet[(bits >> 12) & 63], out);
    out = Put('=', out);
    out = Put('=', out);
  } else if (carried_ == 2) {
    const unsigned bits = (static_cast<unsigned>(carry_[0]) << 16) | (carry_[1] << 8);
    out = Put(kAlphabet[(bits >> 18) & 63], out);
    out = Put(kAlphabet[(bits >> 12) & 63], out);
    out = Put(kAlphabet[(bits >> 6) & 63], out);
    out = Put('=', out);
  }
  carried_ = 0;
  if (column_ > 0) {
    *out++ = '\n';
    column_ = 0;
  }
  return static_cast<std::size_t>(out - start);
}

}  // namespace dovrel::server
