#include "server/command_line.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace dovrel::server {
namespace {

bool ParseNumber(const std::string& text, long minimum, long maximum, long* value) {
  if (text.empty() || text.size() > 10) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const long n = std::strtol(text.c_str(), nullptr, 10);
  if (n < minimum || n > maximum) return false;
  *value = n;
  return true;
}

// The options whose value is a text taken as it stands, and where each goes.
struct TextOption {
  const char* name;
  std::string FileServerOptions::*field;
};
constexpr TextOption kTextOptions[] = {
    {"--root", &FileServerOptions::root},
    {"--bind", &FileServerOptions::bindAddress},
    {"--cert", &FileServerOptions::certificateFile},
    {"--key", &FileServerOptions::keyFile},
    {"--state", &FileServerOptions::stateDir},
    {"--charset", &FileServerOptions::wireCharset},
};

std::string FileServerOptions::*TextField(const std::string& name) {
  for (const TextOption& option : kTextOptions) {
    if (name == option.name) return option.field;
  }
  return nullptr;
}

}  // namespace

std::string UsageText() {
  return "usage: dovrel-fileserver --root DIR [options]\n"
         "Serves the files of ROOT/YYYYMMDD/NAME to Dovrel clients.\n"
         "\n"
         "  --root DIR            the folder to serve (required)\n"
         "  --bind ADDRESS        IPv4 address to listen on (default 127.0.0.1)\n"
         "  --port N              TCP port (default 41900; 0 picks a free one)\n"
         "  --cert FILE           the server's certificate (PEM), with --key\n"
         "  --key FILE            its private key (PEM, RSA)\n"
         "  --state DIR           keeps a generated certificate and key here (made\n"
         "                        0700; refused when others may write to it)\n"
         "  --charset NAME        code page of names on the wire (default CP949)\n"
         "  --max-connections N   connections served at once (default 32)\n"
         "  --max-connections-per-peer N  of those, from one address (default 8)\n"
         "  --connection-limit MS  a connection not through by then is closed\n"
         "                        (default 600000)\n"
         "  --fault SVC:KIND[:ARG]  misbehave on purpose (repeatable); SVC is INIT,\n"
         "                        KEYEXCHG, GETLIST, GET or TERMINATE; KIND is\n"
         "                        omit:ELEMENT, empty:ELEMENT, code:VALUE, delay:MS,\n"
         "                        withhold, truncate[:BYTES], overannounce[:BYTES], refuse,\n"
         "                        announce:N, stall[:BYTES], trickle[:MS],\n"
         "                        double:ELEMENT:TEXT, unterminate:ELEMENT, zero:ELEMENT,\n"
         "                        value:ELEMENT:TEXT, long:ELEMENT:N, encdata:SHAPE[:ARG]\n"
         "  --trace-requests      print \"request SERVICE\" for every request (control\n"
         "                        bytes written \\xNN, long names cut)\n"
         "  --help                this text\n"
         "\n"
         "Without --cert/--key a self-signed RSA-2048 certificate is made at start.\n"
         "Prints the certificate's SHA-256 fingerprints, for clients to pin\n"
         "(\"certificate SHA-256: ...\", \"public key SHA-256: ...\"), then\n"
         "\"listening on ADDRESS:PORT\" once it accepts connections.\n";
}

bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine* commandLine,
                      std::string* error) {
  FileServerOptions& options = commandLine->options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::optional<std::string> inlineValue;
    if (const std::size_t equals = name.find('=');
        name.rfind("--", 0) == 0 && equals != std::string::npos) {
      inlineValue = name.substr(equals + 1);
      name.resize(equals);
    }
    if (name == "--help" || name == "-h") {
      commandLine->help = true;
      continue;
    }
    if (name == "--trace-requests") {
      options.traceRequests = true;
      continue;
    }
    auto value = [&](std::string* out) {
      if (inlineValue) {
        *out = *inlineValue;
        return true;
      }
      if (i + 1 >= arguments.size()) {
        *error = name + " needs a value";
        return false;
      }
      *out = arguments[++i];
      return true;
    };
    auto numberValue = [&](long minimum, long maximum, int* out) {
      std::string text;
      if (!value(&text)) return false;
      long number = 0;
      if (!ParseNumber(text, minimum, maximum, &number)) {
        *error = name + " takes a number from " + std::to_string(minimum) + " to " +
                 std::to_string(maximum) + ": " + text;
        return false;
      }
      *out = static_cast<int>(number);
      return true;
    };
    if (std::string FileServerOptions::*field = TextField(name)) {
      if (!value(&(options.*field))) return false;
    } else if (name == "--port") {
      if (!numberValue(0, 65535, &options.port)) return false;
    } else if (name == "--max-connections") {
      if (!numberValue(1, 1024, &options.maxConnections)) return false;
    } else if (name == "--max-connections-per-peer") {
      if (!numberValue(1, 1024, &options.maxConnectionsPerPeer)) return false;
    } else if (name == "--connection-limit") {
      if (!numberValue(1000, 86400000, &options.connectionLimitMs)) return false;
    } else if (name == "--fault") {
      std::string text;
      if (!value(&text)) return false;
      std::optional<Fault> fault = ParseFault(text, error);
      if (!fault) return false;
      options.faults.push_back(*fault);
    } else {
      *error = "unknown argument: " + arguments[i];
      return false;
    }
  }
  if (!commandLine->help && options.root.empty()) {
    *error = "--root DIR is required";
    return false;
  }
  return true;
}

}  // namespace dovrel::server
