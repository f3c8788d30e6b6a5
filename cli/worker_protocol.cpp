#include "cli/worker_protocol.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace linepeek::cli {
namespace {

// The first bytes to a worker, so that a worker started by hand refuses what it is given.
constexpr std::string_view Greeting = "linepeek-cli worker 1\n";
// Bounds on what either end accepts, far above what the other sends.
constexpr std::uint32_t MaxMessageBytes = 1U << 24;
constexpr std::uint32_t MaxBatchEntries = 1U << 16;

template <typename Number> void appendNumber(std::string& out, Number number) {
  char bytes[sizeof number];
  std::memcpy(bytes, &number, sizeof number);
  out.append(bytes, sizeof number);
}

template <typename Number> bool readNumber(InputBuffer& in, Number& number) {
  char bytes[sizeof number];
  if (!in.readExact(bytes, sizeof number)) return false;
  std::memcpy(&number, bytes, sizeof number);
  return true;
}

void appendText(std::string& out, std::string_view text) {
  appendNumber(out, static_cast<std::uint32_t>(text.size()));
  out += text;
}

bool readText(InputBuffer& in, std::string& text) {
  std::uint32_t size = 0;
  if (!readNumber(in, size) || size > MaxMessageBytes) return false;
  text.resize(size);
  return in.readExact(text.data(), size);
}

} // namespace

std::string encodeHello(const WorkerHello& hello) {
  std::string out(Greeting);
  appendText(out, hello.modulePath);
  appendNumber(out, static_cast<std::uint32_t>(hello.requests.size()));
  for (const Request& request : hello.requests) {
    appendNumber(out, static_cast<std::int32_t>(request.field));
    appendNumber(out, static_cast<std::int32_t>(request.unit));
  }
  return out;
}

bool decodeHello(InputBuffer& in, WorkerHello& hello) {
  std::string greeting(Greeting.size(), '\0');
  std::uint32_t count = 0;
  if (!in.readExact(greeting.data(), greeting.size()) || greeting != Greeting ||
      !readText(in, hello.modulePath) || !readNumber(in, count) || count > MaxFields)
    return false;
  hello.requests.resize(count);
  for (Request& request : hello.requests) {
    std::int32_t field = 0;
    std::int32_t unit = 0;
    if (!readNumber(in, field) || !readNumber(in, unit)) return false;
    request = {field, unit};
  }
  return true;
}

std::string encodeReady(const std::string& error) {
  std::string out;
  appendText(out, error);
  return out;
}

bool decodeReady(InputBuffer& in, std::string& error) {
  return readText(in, error);
}

std::string encodeBatch(const std::vector<std::u16string>& names) {
  std::string out;
  appendNumber(out, static_cast<std::uint32_t>(names.size()));
  for (const std::u16string& name : names) {
    appendNumber(out, static_cast<std::uint32_t>(name.size()));
    out.append(reinterpret_cast<const char*>(name.data()), name.size() * sizeof(char16_t));
  }
  return out;
}

BatchRead decodeBatch(InputBuffer& in, std::vector<std::u16string>& names) {
  names.clear();
  std::uint32_t entries = 0;
  if (!readNumber(in, entries)) return in.failed() ? BatchRead::Broken : BatchRead::End;
  if (entries > MaxBatchEntries) return BatchRead::Broken;
  for (std::uint32_t i = 0; i < entries; ++i) {
    std::uint32_t units = 0;
    if (!readNumber(in, units) || units > MaxMessageBytes / 2) return BatchRead::Broken;
    std::u16string& name = names.emplace_back(units, u'\0');
    if (!in.readExact(reinterpret_cast<char*>(name.data()), name.size() * sizeof(char16_t)))
      return BatchRead::Broken;
  }
  return BatchRead::Batch;
}

void encodeValue(std::string& out, const Value& value) {
  out += static_cast<char>(value.kind);
  if (value.kind == Value::Kind::Number) appendNumber(out, value.number);
  if (value.kind == Value::Kind::Text) appendText(out, value.text);
}

bool decodeValue(InputBuffer& in, Value& value) {
  char kind = 0;
  if (!in.readExact(&kind, 1)) return false;
  value = Value{};
  switch (static_cast<Value::Kind>(kind)) {
  case Value::Kind::None:
    return true;
  case Value::Kind::Number:
    value.kind = Value::Kind::Number;
    return readNumber(in, value.number);
  case Value::Kind::Text:
    value.kind = Value::Kind::Text;
    return readText(in, value.text);
  }
  return false;
}

} // namespace linepeek::cli
