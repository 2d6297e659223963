#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "host/ui_service.h"
#include "module/itoken.h"

namespace kelvo::host::app {

class HostSession;

// What every token command works with.
struct CommandContext {
    HostSession& host;
    plugin::module::IToken& token;
    std::string deviceQuery;  // empty: the first device
    IUiService& ui;           // asks for PINs: the module calls it, and so may a command
    bool progress = false;
    std::ostream& out;
    std::ostream& err;
};

// A command's own arguments (after its name).
using Arguments = std::vector<std::string>;

// The device a command works on; throws std::runtime_error when none matches.
plugin::module::IToken::DevicePtr selectDevice(CommandContext& context);
// Devices in a stable order (by id).
std::vector<plugin::module::IToken::DevicePtr> sortedDevices(plugin::module::IToken& token);
// A certificate of the device by SHA-1 thumbprint, serial (hex) or container name; the only
// certificate when the selector is empty.
plugin::module::IToken::CertificatePtr selectCertificate(
    CommandContext& context, const plugin::module::IToken::DevicePtr& device,
    const std::string& selector);

std::string hex(const std::string& bytes);
std::string hex(const std::vector<unsigned char>& bytes);
// Serial number for display: most significant byte first.
std::string serialHex(const std::string& leastSignificantFirst);
// Writes a whole file through a temporary file renamed at the end; throws on failure. Commands
// open an OutputFile before they start instead, so that a bad path costs no work.
void writeFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace kelvo::host::app
