// Arbitrary lines through the shell's parser and dispatcher, against a token that has no
// devices: every line ends in a status or nothing, without a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include <boost/make_shared.hpp>

#include "commands.h"
#include "fake_token.h"
#include "host_session.h"

namespace {

class SilentUi : public kelvo::host::IUiService {
public:
    AuthCallback authCallback() override { return {}; }
    void showMessage(const std::wstring&) override {}
    bool confirm(const std::wstring&) override { return false; }
    bool authenticateKey(const boost::shared_ptr<kelvo::plugin::crypto::IPrivateKey>&,
                         const std::string&) override {
        return false;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvo::host::app;
    static SilentUi ui;
    static HostSession host("kelvo.plugin", false, ui);
    static kelvo::test::FakeToken token(nullptr);
    std::ostringstream out;
    std::ostringstream err;
    CommandContext context{host, token, std::string(), ui, false, out, err};
    std::istringstream lines(std::string(reinterpret_cast<const char*>(data), size));
    for (std::string line; std::getline(lines, line);) {
        runShellLine(context, line);
    }
    return 0;
}
