#include <algorithm>

#include <boost/date_time/posix_time/posix_time_io.hpp>
#include <boost/date_time/posix_time/time_formatters.hpp>

#include "command_options.h"
#include "commands.h"
#include "crypto/icertificate.h"
#include "cryptoki/device.h"
#include "pin_dialog.h"
#include "provider_lookup.h"

namespace kelvo::host::app {

namespace po = boost::program_options;

namespace {

// Container ids are raw bytes; printable ones are shown as text.
std::string containerText(const std::string& id) {
    const bool printable = std::all_of(id.begin(), id.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && c != 0x7f;
    });
    return printable ? id : "0x" + hex(id);
}

std::string indent(const std::string& text, const std::string& prefix) {
    std::string result;
    for (char c : text) {
        result += c;
        if (c == '\n') {
            result += prefix;
        }
    }
    return result;
}

}  // namespace

int devicesCommand(CommandContext& context, const Arguments& arguments) {
    parseArguments(arguments, po::options_description());
    const auto devices = sortedDevices(context.token);
    if (devices.empty()) {
        context.out << "no token found\n";
        return 0;
    }
    int number = 0;
    for (const auto& device : devices) {
        const auto provider = providerFor(context.token, context.host.session(), device);
        const auto displayName = provider->displayName();
        const auto version = provider->versionInfo();
        context.out << "device " << ++number << ": " << device->id << '\n'
                    << "  label:    " << device->label << '\n'
                    << "  model:    " << device->model << '\n'
                    << "  serial:   " << device->serial << '\n'
                    << "  slot:     " << device->slot << '\n'
                    << "  provider: " << utf8(provider->name()) << " ("
                    << (displayName                  ? *displayName
                        : isTokenProvider(*provider) ? std::string("no display name")
                                                     : std::string("the token's provider is "
                                                                   "reached through a certificate"))
                    << ")\n";
        if (version) {
            context.out << "  " << indent(utf8(*version), "  ") << '\n';
        }
    }
    return 0;
}

int certificatesCommand(CommandContext& context, const Arguments& arguments) {
    parseArguments(arguments, po::options_description());
    const auto device = selectDevice(context);
    const auto certificates = context.token.certificates(device);
    context.out << certificates.size() << " certificate(s) on " << device->id << '\n';
    for (const auto& certificate : certificates) {
        const auto thumbprint = certificate->thumbprint();
        const auto container = certificate->container();
        context.out << "- subject:    " << certificate->subject() << '\n'
                    << "  issuer:     " << certificate->issuer() << '\n'
                    << "  serial:     " << serialHex(certificate->serialNumber()) << '\n'
                    << "  valid:      "
                    << boost::posix_time::to_iso_extended_string(certificate->notBefore())
                    << "Z to " << boost::posix_time::to_iso_extended_string(certificate->notAfter())
                    << "Z\n"
                    << "  sha1:       " << (thumbprint ? hex(*thumbprint) : std::string("-"))
                    << '\n'
                    << "  container:  " << (container ? utf8(*container) : std::string("-"))
                    << '\n';
    }
    return 0;
}

int containersCommand(CommandContext& context, const Arguments& arguments) {
    parseArguments(arguments, po::options_description());
    const auto device = selectDevice(context);
    const auto containers = context.token.containers(device);
    context.out << containers.size() << " container(s) on " << device->id << '\n';
    for (const auto& id : containers) {
        const auto certificate = context.token.findCertificate(device, id);
        context.out << "- " << containerText(id) << "  certificate: "
                    << (certificate ? certificate->subject() : std::string("none")) << '\n';
    }
    return 0;
}

int modulesCommand(const HostSession& host, std::ostream& out) {
    for (const auto& [name, entry] : host.registry().modules) {
        out << name << ": " << plugin::shared::loadStateName(static_cast<int>(entry.state));
        const auto meta = host.metas().find(name);
        if (meta != host.metas().end() && !meta->second->formats.empty()) {
            const auto& format = meta->second->formats.front().format;
            out << " (version " << format.version << ", " << format.description << ")";
        }
        out << '\n';
    }
    return 0;
}

}  // namespace kelvo::host::app
