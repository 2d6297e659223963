#include <unistd.h>

#include <stdexcept>

#include <QCoreApplication>
#include <QSysInfo>
#include <boost/smart_ptr/make_shared.hpp>

#include "command_options.h"
#include "commands.h"
#include "crypto/icertificate.h"
#include "crypto/icsr_creator.h"
#include "cryptoki/device.h"
#include "file_certificate.h"
#include "output_file.h"
#include "provider_lookup.h"
#include "request_arguments.h"

namespace kelvo::host::app {

namespace po = boost::program_options;

namespace {

using StringPairs = std::vector<std::pair<std::string, std::string>>;

// "name=value" items; the value may itself contain "=".
StringPairs pairs(const std::vector<std::string>& items, const char* option) {
    StringPairs result;
    for (const auto& item : items) {
        const auto split = item.find('=');
        if (split == std::string::npos || split == 0) {
            throw po::error(std::string("--") + option + " expects NAME=VALUE, got \"" + item +
                            "\"");
        }
        result.emplace_back(item.substr(0, split), item.substr(split + 1));
    }
    return result;
}

// What the request builder would refuse only once the key pair exists.
void checkRequestTexts(const plugin::crypto::CsrParams& params) {
    checkSubject(params.subject);
    checkOid(params.algorithmParamSet, "param-set");
    checkIdentificationKind(params.identificationKind);
    for (const auto& oid : params.attributes) {
        checkOid(oid, "attribute");
    }
    for (const auto& oid : params.policies) {
        checkOid(oid, "policy");
    }
    for (const auto& otherName : params.otherNames) {
        checkOid(otherName.first, "other-name");
    }
}

std::wstring wide(const std::string& text) {
    return QString::fromStdString(text).toStdWString();
}

}  // namespace

int keygenCommand(CommandContext& context, const Arguments& arguments) {
    auto params = boost::make_shared<plugin::crypto::CsrParams>();
    std::string keyUsage;
    std::vector<std::string> otherNames;
    std::vector<std::string> nameValuePairs;
    std::string out;
    std::string publicKeyOut;
    po::options_description options("keygen");
    options.add_options()(
        "subject", po::value(&params->subject)->required(),
        "subject as \"key=value;key=value\" (cn, o, ou, c, l, st, e, snils, inn, ogrn, ...)")(
        "key-id", po::value(&params->keyId)->required(), "container id of the new key pair")(
        "param-set", po::value(&params->algorithmParamSet)->default_value("1.2.643.7.1.2.1.1.1"),
        "GOST R 34.10 parameter set OID")("sign-tool", po::value(&params->signTool),
                                          "subject signing tool text")(
        "upn", po::value(&params->upn), "user principal name")(
        "identification-kind", po::value(&params->identificationKind),
        "personal, remotecert, remotepassport or remotesystem")(
        "eku", po::value(&params->extendedKeyUsages)->composing(),
        "extended key usage name or OID (repeatable)")(
        "attribute", po::value(&params->attributes)->composing(),
        "request attribute OID to include (repeatable)")(
        "policy", po::value(&params->policies)->composing(), "certificate policy OID (repeatable)")(
        "dns", po::value(&params->dnsNames)->composing(), "DNS name (repeatable)")(
        "other-name", po::value(&otherNames)->composing(), "OID=VALUE otherName (repeatable)")(
        "name-value", po::value(&nameValuePairs)->composing(),
        "NAME=VALUE enrolment pair (repeatable)")("key-usage", po::value(&keyUsage),
                                                  "key usage names separated by \",\" or a number")(
        "exportable", po::bool_switch(&params->exportable), "ask for an exportable key")(
        "out", po::value(&out)->required(), "request file (base64 text of the DER request)")(
        "public-key-out", po::value(&publicKeyOut), "write the public key value to this file");
    parseArguments(arguments, options);
    params->otherNames = pairs(otherNames, "other-name");
    params->nameValuePairs = pairs(nameValuePairs, "name-value");
    params->keyUsage = keyUsageMask(keyUsage);
    params->extendedKeyUsages = extendedKeyUsages(params->extendedKeyUsages);
    checkRequestTexts(*params);

    plugin::crypto::ClientInfo client;
    const char* user = std::getenv("USER");
    client.username = user ? user : std::to_string(::getuid());
    client.hostname = QSysInfo::machineHostName().toStdString();
    client.process = QCoreApplication::applicationName().toStdString();
    params->clientInfo = &client;

    refuseSameOutput(out, publicKeyOut);
    OutputFile requestFile(out);
    auto publicKeyFile = outputFileIfNamed(publicKeyOut);
    const auto device = selectDevice(context);
    params->provider = providerFor(context.token, context.host.session(), device);
    const auto creator = context.token.createCsrCreator();
    const auto result = creator->create(params, nullptr);
    if (!result || result->request.empty()) {
        throw std::runtime_error("the token made no request for the new key pair");
    }
    requestFile.commit(result->request);
    if (publicKeyFile) {
        publicKeyFile->commit(result->publicKeyValue);
    }
    (isStandardOutput(out) || isStandardOutput(publicKeyOut) ? context.err : context.out)
        << "key pair:   " << result->containerId << " on " << device->id << '\n'
        << "public key: " << hex(result->publicKeyValue) << '\n'
        << "request:    " << out << " (" << result->request.size() << " characters)\n";
    return 0;
}

int installCommand(CommandContext& context, const Arguments& arguments) {
    std::string file;
    std::string container;
    po::options_description options("install");
    options.add_options()("file", po::value(&file)->required(), "certificate file (DER or PEM)")(
        "container", po::value(&container)->required(), "container id to install it into");
    po::positional_options_description positional;
    positional.add("file", 1);
    parseArguments(arguments, options, positional);

    const auto certificate = FileCertificate::fromFile(file);
    const auto device = selectDevice(context);
    // No PIN of the host's own: the module asks through the host's dialog when it logs in.
    if (!context.token.addCertificate(device, certificate, container.data(), container.size(),
                                      std::string())) {
        throw std::runtime_error("the token did not take the certificate");
    }
    context.out << "installed " << certificate->subject() << " into container " << container
                << " on " << device->id << '\n';
    return 0;
}

int deleteCertificateCommand(CommandContext& context, const Arguments& arguments) {
    std::string selector;
    po::options_description options("delete-cert");
    options.add_options()("cert", po::value(&selector),
                          "SHA-1 thumbprint, serial or container (default: the only one)");
    po::positional_options_description positional;
    positional.add("cert", 1);
    parseArguments(arguments, options, positional);

    const auto device = selectDevice(context);
    const auto certificate = selectCertificate(context, device, selector);
    const std::string subject = certificate->subject();
    if (!context.token.deleteCertificate(device, certificate)) {
        throw std::runtime_error("the token did not delete the certificate");
    }
    context.out << "deleted certificate " << subject << '\n';
    return 0;
}

int deleteContainerCommand(CommandContext& context, const Arguments& arguments) {
    std::string name;
    po::options_description options("delete-container");
    options.add_options()("name", po::value(&name)->required(), "container id");
    po::positional_options_description positional;
    positional.add("name", 1);
    parseArguments(arguments, options, positional);

    const auto device = selectDevice(context);
    if (!context.token.deleteContainer(device, wide(name), std::string())) {
        throw std::runtime_error("the token did not delete the container");
    }
    context.out << "deleted container " << name << " on " << device->id << '\n';
    return 0;
}

}  // namespace kelvo::host::app
