#include "command_context.h"

#include <algorithm>
#include <stdexcept>

#include <QString>
#include <boost/algorithm/hex.hpp>
#include <boost/algorithm/string/predicate.hpp>

#include "crypto/icertificate.h"
#include "cryptoki/device.h"
#include "output_file.h"
#include "pin_dialog.h"

namespace kelvo::host::app {

using plugin::module::IToken;

std::string hex(const std::string& bytes) {
    std::string text;
    boost::algorithm::hex_lower(bytes.begin(), bytes.end(), std::back_inserter(text));
    return text;
}

std::string hex(const std::vector<unsigned char>& bytes) {
    return hex(std::string(bytes.begin(), bytes.end()));
}

std::string serialHex(const std::string& leastSignificantFirst) {
    return hex(std::string(leastSignificantFirst.rbegin(), leastSignificantFirst.rend()));
}

std::vector<IToken::DevicePtr> sortedDevices(IToken& token) {
    const auto devices = token.devices();
    std::vector<IToken::DevicePtr> sorted(devices.begin(), devices.end());
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return a->id < b->id; });
    return sorted;
}

IToken::DevicePtr selectDevice(CommandContext& context) {
    const auto devices = sortedDevices(context.token);
    if (devices.empty()) {
        throw std::runtime_error("no token found");
    }
    if (context.deviceQuery.empty()) {
        return devices.front();
    }
    for (const auto& device : devices) {
        for (const std::string* field :
             {&device->id, &device->serial, &device->label, &device->model, &device->alias}) {
            if (boost::algorithm::iequals(*field, context.deviceQuery)) {
                return device;
            }
        }
    }
    throw std::runtime_error("no token matches \"" + context.deviceQuery + "\"");
}

namespace {

// Serials in hex compare as numbers: with or without the DER sign byte, in either case.
bool sameSerial(const std::string& a, const std::string& b) {
    const auto digits = [](const std::string& text) {
        const auto first = text.find_first_not_of('0');
        return first == std::string::npos ? std::string() : text.substr(first);
    };
    return !b.empty() && boost::algorithm::iequals(digits(a), digits(b));
}

}  // namespace

IToken::CertificatePtr selectCertificate(CommandContext& context, const IToken::DevicePtr& device,
                                         const std::string& selector) {
    const auto certificates = context.token.certificates(device);
    if (selector.empty()) {
        if (certificates.size() == 1) {
            return *certificates.begin();
        }
        throw std::runtime_error(certificates.empty()
                                     ? "the token holds no certificate"
                                     : "several certificates on the token: choose one with --cert");
    }
    for (const auto& certificate : certificates) {
        const auto thumbprint = certificate->thumbprint();
        if ((thumbprint && boost::algorithm::iequals(hex(*thumbprint), selector)) ||
            sameSerial(serialHex(certificate->serialNumber()), selector)) {
            return certificate;
        }
        const auto container = certificate->container();
        if (container && utf8(*container) == selector) {
            return certificate;
        }
    }
    throw std::runtime_error("no certificate matches \"" + selector + "\"");
}

void writeFileAtomically(const std::string& path, const std::string& bytes) {
    OutputFile(path).commit(bytes);
}

}  // namespace kelvo::host::app
