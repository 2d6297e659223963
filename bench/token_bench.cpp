// Benchmarks of the token services on the software token: hashing and hash-and-sign of a
// 1 GiB stream against OpenSSL's Streebog and pkcs11-tool, peak memory while hashing,
// certificate listing, key generation with a request per parameter-set family, and a soak
// of many rounds with the token pulled out and put back.
//
//     kelvo_bench [--summary=FILE] [benchmark flags]   (KELVO_BENCH_BYTES sets the size,
//                                                       KELVO_SOAK_ROUNDS the soak's rounds)
//     kelvo_bench --rss-probe BYTES                    (child: prints idle and peak KiB)
//     kelvo_bench --soak ROUNDS                        (child: prints what it held)
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>

#include <boost/format.hpp>
#include <boost/log/core.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "bench_support.h"
#include "certificate_factory.h"
#include "crypto/iauth_handle.h"
#include "crypto/icsr_creator.h"
#include "cryptoki/hash.h"
#include "cryptoki/icryptoki.h"
#include "cryptoki/provider.h"
#include "cryptoki/published.h"
#include "cryptoki/scoped_session.h"
#include "soak.h"
#include "ssl/signature_check.h"

namespace {

using namespace kelvo;
using namespace kelvo::bench;
namespace cryptoki = plugin::cryptoki;
namespace fs = std::filesystem;

constexpr const char* kStreebogOid = "1.2.643.7.1.1.2.2";
constexpr int kCertificates = 100;

std::uint64_t streamBytes() {
    const char* text = std::getenv("KELVO_BENCH_BYTES");
    return text ? std::stoull(text) : (std::uint64_t{1} << 30);
}

long soakRounds() {
    const char* text = std::getenv("KELVO_SOAK_ROUNDS");
    return text ? std::stol(text) : 20000;
}

fs::path executableDirectory() {
    return fs::read_symlink("/proc/self/exe").parent_path();
}

// The token folder: ZOLVEX_SOFTTOKEN_DIR when given (run.sh makes one), else a private one
// removed at exit; configured with kBenchConfig unless it has a configuration.
class Workspace {
public:
    Workspace() {
        if (const char* given = std::getenv("ZOLVEX_SOFTTOKEN_DIR")) {
            path_ = given;
        } else {
            std::string pattern = (fs::temp_directory_path() / "kelvo-bench-XXXXXX").string();
            if (!mkdtemp(pattern.data())) {
                throw std::runtime_error("cannot create a token folder");
            }
            path_ = pattern;
            owned_ = true;
            setenv("ZOLVEX_SOFTTOKEN_DIR", path_.c_str(), 1);
        }
        if (!fs::exists(path_ / "softtoken.ini")) {
            std::ofstream(path_ / "softtoken.ini") << kBenchConfig;
        }
    }
    ~Workspace() {
        std::error_code ignored;
        if (owned_) {
            fs::remove_all(path_, ignored);
        } else {
            fs::remove(dataFile(), ignored);
        }
    }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    fs::path dataFile() const { return path_ / "bench-data.bin"; }

private:
    fs::path path_;
    bool owned_ = false;
};

// Everything the benchmarks share, built on first use: the token with a signer key, its
// certificate and 99 more certificates, and the data file.
class Setup {
public:
    static Setup& instance() {
        if (!current()) {
            current() = std::make_unique<Setup>();
        }
        return *current();
    }
    // Unloads the token before exit: the library's own statics are gone in the exit
    // handlers, where C_Finalize would touch freed memory.
    static void release() { current().reset(); }

private:
    // First, so that the token folder is chosen before the library loads and outlives it.
    Workspace workspace_;

public:
    BenchToken token;
    boost::shared_ptr<cryptoki::Device> device;
    boost::shared_ptr<plugin::crypto::ICertificate> signer;
    Streebog streebog;
    std::uint64_t bytes = streamBytes();
    std::string expectedDigest;

    void login() {
        const auto library = token.cryptoki();
        library->openSession(kSlot, cryptoki::ScopedSession::kFlags, nullptr, nullptr);
        std::string pin = kUserPin;
        library->login(kSlot, CKU_USER, reinterpret_cast<CK_UTF8CHAR*>(pin.data()), pin.size());
    }
    void releaseLogin() { token.cryptoki()->releaseSlot(kSlot); }

    const fs::path& dataFile() {
        if (!dataWritten_) {
            writeGeneratedFile(workspace_.dataFile().string(), bytes);
            dataWritten_ = true;
        }
        return dataPath_;
    }

    // Builds the token's contents; use instance().
    Setup() {
        provisionIfNeeded(*token.cryptoki());
        device = deviceOf(token);
        dataPath_ = workspace_.dataFile();
        {
            const auto library = token.cryptoki();
            cryptoki::ScopedSession session(library, kSlot);
            login();
            const std::string value = generateKeyPair(*library, "signer");
            const test::CertificateFactory issuer;
            storeCertificate(*library, issuer.issue(value, "01", "Bench signer"), "signer");
            for (int i = 2; i <= kCertificates; ++i) {
                const std::string serial = (boost::format("%02X") % i).str();
                storeCertificate(*library,
                                 issuer.issue(value, serial, "Bench user " + std::to_string(i)),
                                 "user-" + std::to_string(i));
            }
            releaseLogin();
        }
        signer = token.findCertificate(device, std::string("signer"));
        if (!signer) {
            throw std::runtime_error("the signer certificate is not found");
        }
        GeneratedStream data(bytes);
        expectedDigest = streebog.digest(data, cryptoki::Hash::kChunkSize);
    }

private:
    static std::unique_ptr<Setup>& current() {
        static std::unique_ptr<Setup> setup;
        return setup;
    }

    fs::path dataPath_;
    bool dataWritten_ = false;
};

// Digests that differ from OpenSSL's make the run fail rather than report a speed.
void checkDigest(benchmark::State& state, const std::string& digest) {
    if (digest != Setup::instance().expectedDigest) {
        state.SkipWithError("digest differs from OpenSSL's");
    }
}

void Streebog256_OpenSsl_Generated(benchmark::State& state) {
    auto& setup = Setup::instance();
    for (auto _ : state) {
        GeneratedStream data(setup.bytes);
        checkDigest(state, setup.streebog.digest(data, cryptoki::Hash::kChunkSize));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * setup.bytes));
}

void Hash_Module_Generated(benchmark::State& state) {
    auto& setup = Setup::instance();
    cryptoki::Provider provider(setup.device);
    for (auto _ : state) {
        GeneratedStream data(setup.bytes);
        checkDigest(state, provider.createHash(kStreebogOid, nullptr)->create(data));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * setup.bytes));
}

void Streebog256_OpenSsl_File(benchmark::State& state) {
    auto& setup = Setup::instance();
    const auto& path = setup.dataFile();
    for (auto _ : state) {
        std::ifstream data(path, std::ios::binary);
        checkDigest(state, setup.streebog.digest(data, cryptoki::Hash::kChunkSize));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * setup.bytes));
}

void Hash_Module_File(benchmark::State& state) {
    auto& setup = Setup::instance();
    const auto& path = setup.dataFile();
    cryptoki::Provider provider(setup.device);
    for (auto _ : state) {
        std::ifstream data(path, std::ios::binary);
        checkDigest(state, provider.createHash(kStreebogOid, nullptr)->create(data));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * setup.bytes));
}

// OpenSC's tool on the same token and file, timed as a whole process.
void Hash_Pkcs11Tool_File(benchmark::State& state) {
    auto& setup = Setup::instance();
    const auto& path = setup.dataFile();
    const fs::path out = path.string() + ".digest";
    const std::string command = "pkcs11-tool --module '" +
                                (executableDirectory() / "voxa_pkcs11_main.so").string() +
                                "' --slot 0 --hash -m GOSTR3411-12-256 -i '" + path.string() +
                                "' -o '" + out.string() + "' >/dev/null 2>&1";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (status != 0) {
            state.SkipWithError("pkcs11-tool failed");
            break;
        }
        std::ifstream result(out, std::ios::binary);
        checkDigest(state, std::string(std::istreambuf_iterator<char>(result), {}));
    }
    std::error_code ignored;
    fs::remove(out, ignored);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * setup.bytes));
}

void Streebog256_OpenSsl_TwoPasses(benchmark::State& state) {
    auto& setup = Setup::instance();
    for (auto _ : state) {
        for (int pass = 0; pass < 2; ++pass) {
            GeneratedStream data(setup.bytes);
            checkDigest(state, setup.streebog.digest(data, cryptoki::Hash::kChunkSize));
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * setup.bytes));
}

void HashAndSign_Module_Generated(benchmark::State& state) {
    auto& setup = Setup::instance();
    setup.login();  // as after the key's PIN dialog
    for (auto _ : state) {
        GeneratedStream data(setup.bytes);
        auto hash = setup.signer->provider(L"")->createHash(kStreebogOid, setup.signer);
        checkDigest(state, hash->create(data));
        if (hash->signatureValue().size() != 64) {
            state.SkipWithError("no signature");
        }
    }
    setup.releaseLogin();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * setup.bytes));
}

// The check every returned signature gets: one GOST verification with the certificate's key.
void SignatureCheck(benchmark::State& state) {
    auto& setup = Setup::instance();
    setup.login();
    std::istringstream data("one small document");
    auto hash = setup.signer->provider(L"")->createHash(kStreebogOid, setup.signer);
    const std::string digest = hash->create(data);
    const std::string value = hash->signatureValue();
    setup.releaseLogin();
    const std::string bigEndian(value.rbegin(), value.rend());
    for (auto _ : state) {
        if (plugin::ssl::checkDigestSignature(setup.signer->x509(), digest, bigEndian) !=
            plugin::ssl::SignatureCheck::Valid) {
            state.SkipWithError("the signature does not verify");
            break;
        }
    }
}

// Peak resident memory of a child host process: idle (module loaded, token listed) and
// after hashing the stream; the growth is the figure of interest.
void PeakMemory_Hash(benchmark::State& state) {
    auto& setup = Setup::instance();
    const std::string command = "'" + fs::read_symlink("/proc/self/exe").string() +
                                "' --rss-probe " + std::to_string(setup.bytes);
    for (auto _ : state) {
        long idle = -1;
        long peak = -1;
        std::unique_ptr<FILE, decltype(&pclose)> child(popen(command.c_str(), "r"), pclose);
        if (!child || std::fscanf(child.get(), "%ld %ld", &idle, &peak) != 2) {
            state.SkipWithError("the probe gave no figures");
            break;
        }
        state.counters["idle_KiB"] = static_cast<double>(idle);
        state.counters["peak_KiB"] = static_cast<double>(peak);
        state.counters["growth_KiB"] = static_cast<double>(peak - idle);
    }
}

// Resident memory, descriptors and token sessions of a child host over many rounds of
// listing, hashing and signing, the token pulled out and put back every 100th round.
void Soak_PullOutAndPutBack(benchmark::State& state) {
    Setup::instance();  // the signer and its certificate on the token
    const std::string command = "'" + fs::read_symlink("/proc/self/exe").string() + "' --soak " +
                                std::to_string(soakRounds());
    const char* const names[] = {"rounds",    "removals", "start_KiB",      "end_KiB",
                                 "start_fds", "end_fds",  "start_sessions", "end_sessions"};
    for (auto _ : state) {
        long figures[std::size(names)] = {};
        std::unique_ptr<FILE, decltype(&pclose)> child(popen(command.c_str(), "r"), pclose);
        int read = 0;
        while (child && read < static_cast<int>(std::size(names)) &&
               std::fscanf(child.get(), "%ld", &figures[read]) == 1) {
            ++read;
        }
        if (read != static_cast<int>(std::size(names))) {
            state.SkipWithError("the soak gave no figures");
            break;
        }
        for (std::size_t i = 0; i < std::size(names); ++i) {
            state.counters[names[i]] = static_cast<double>(figures[i]);
        }
    }
}

void Certificates_First(benchmark::State& state) {
    auto& setup = Setup::instance();
    std::size_t count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        setup.token.setCache(true, true);
        state.ResumeTiming();
        count = setup.token.certificates(setup.device).size();
    }
    state.counters["certificates"] = static_cast<double>(count);
}

void Certificates_Cached(benchmark::State& state) {
    auto& setup = Setup::instance();
    setup.token.setCache(true, true);
    setup.token.certificates(setup.device);
    std::size_t count = 0;
    for (auto _ : state) {
        count = setup.token.certificates(setup.device).size();
    }
    state.counters["certificates"] = static_cast<double>(count);
}

// One parameter set of each family: 2012-512, 2012-256 (TC 26), CryptoPro 2001, CryptoPro
// exchange sets.
const char* const kFamilies[] = {"1.2.643.7.1.2.1.2.1", "1.2.643.7.1.2.1.1.1", "1.2.643.2.2.35.1",
                                 "1.2.643.2.2.36.0"};

void KeyAndRequest(benchmark::State& state) {
    auto& setup = Setup::instance();
    const std::string paramSet = kFamilies[state.range(0)];
    state.SetLabel(paramSet);
    cryptoki::published().authCallback = [](const auto& handle, const std::string&) {
        return handle->authenticate(kUserPin);
    };
    const auto creator = setup.token.createCsrCreator();
    int serial = 0;
    for (auto _ : state) {
        auto params = boost::make_shared<plugin::crypto::CsrParams>();
        params->provider = boost::make_shared<cryptoki::Provider>(setup.device);
        params->subject = "cn=Bench User;snils=12345678901";
        params->keyId = "bench-" + paramSet + "-" + std::to_string(++serial);
        params->algorithmParamSet = paramSet;
        params->keyUsage = 0xC0;
        const auto result = creator->create(params, nullptr);
        state.PauseTiming();
        if (!result || result->request.empty()) {
            state.SkipWithError("no request");
        } else {
            // Keeps the token the same size for every iteration.
            const std::wstring name(params->keyId.begin(), params->keyId.end());
            setup.token.deleteContainer(setup.device, name, kUserPin);
        }
        state.ResumeTiming();
    }
    cryptoki::published().authCallback = nullptr;
}

// C_Login as the user on a token with the PIN key derivation tokens get by default.
void Login_DefaultKdf(benchmark::State& state) {
    auto& setup = Setup::instance();
    CK_FUNCTION_LIST* f = setup.token.cryptoki()->functions();
    CK_SESSION_HANDLE session = 0;
    try {
        provisionIfNeeded(*setup.token.cryptoki(), kDefaultKdfSlot);
    } catch (const std::exception& error) {
        state.SkipWithError(error.what());
        return;
    }
    if (f->C_OpenSession(kDefaultKdfSlot, CKF_SERIAL_SESSION, nullptr, nullptr, &session) !=
        CKR_OK) {
        state.SkipWithError("no session on the login slot");
        return;
    }
    std::string pin = kUserPin;
    for (auto _ : state) {
        const CK_RV rv =
            f->C_Login(session, CKU_USER, reinterpret_cast<CK_UTF8CHAR*>(pin.data()), pin.size());
        state.PauseTiming();
        if (rv != CKR_OK || f->C_Logout(session) != CKR_OK) {
            state.SkipWithError("login failed");
        }
        state.ResumeTiming();
    }
    f->C_CloseSession(session);
}

constexpr auto kUnit = benchmark::kMillisecond;

void registerBenchmarks() {
    benchmark::RegisterBenchmark("Certificates_First", Certificates_First)->Unit(kUnit);
    benchmark::RegisterBenchmark("Certificates_Cached", Certificates_Cached)
        ->Unit(benchmark::kMicrosecond);
    // Before key generation, whose private keys stay on the token: the software token reads
    // its whole file at every call, so a larger token slows every round.
    benchmark::RegisterBenchmark("Soak_PullOutAndPutBack", Soak_PullOutAndPutBack)
        ->Iterations(1)
        ->Unit(benchmark::kSecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("KeyAndRequest", KeyAndRequest)
        ->DenseRange(0, std::size(kFamilies) - 1)
        ->Unit(kUnit);
    benchmark::RegisterBenchmark("Login_DefaultKdf", Login_DefaultKdf)->Iterations(10)->Unit(kUnit);
    benchmark::RegisterBenchmark("SignatureCheck", SignatureCheck)->Unit(kUnit);
    // The long stream runs go once each; the pairs to compare stay next to each other.
    const auto once = [](benchmark::internal::Benchmark* b) {
        b->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
    };
    once(benchmark::RegisterBenchmark("Streebog256_OpenSsl_Generated",
                                      Streebog256_OpenSsl_Generated));
    once(benchmark::RegisterBenchmark("Hash_Module_Generated", Hash_Module_Generated));
    once(benchmark::RegisterBenchmark("Streebog256_OpenSsl_File", Streebog256_OpenSsl_File));
    once(benchmark::RegisterBenchmark("Hash_Module_File", Hash_Module_File));
    benchmark::RegisterBenchmark("Hash_Pkcs11Tool_File", Hash_Pkcs11Tool_File)
        ->Iterations(1)
        ->Unit(benchmark::kSecond)
        ->UseManualTime();
    once(benchmark::RegisterBenchmark("Streebog256_OpenSsl_TwoPasses",
                                      Streebog256_OpenSsl_TwoPasses));
    once(
        benchmark::RegisterBenchmark("HashAndSign_Module_Generated", HashAndSign_Module_Generated));
    benchmark::RegisterBenchmark("PeakMemory_Hash", PeakMemory_Hash)
        ->Iterations(1)
        ->Unit(benchmark::kSecond);
}

// Keeps each run's seconds per iteration and counters for the summary.
class Collector : public benchmark::ConsoleReporter {
public:
    struct Figures {
        double seconds = 0;
        std::map<std::string, double> counters;
        std::string label;
    };

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (run.error_occurred || run.iterations == 0) {
                failed_ = true;
                continue;
            }
            Figures figures;
            figures.seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
            for (const auto& [name, counter] : run.counters) {
                figures.counters[name] = counter.value;
            }
            figures.label = run.report_label;
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty()) {
                name += "/" + run.run_name.args;
            }
            runs_[name] = figures;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::optional<Figures> find(const std::string& name) const {
        const auto it = runs_.find(name);
        return it == runs_.end() ? std::nullopt : std::make_optional(it->second);
    }
    bool failed() const { return failed_; }
    const std::map<std::string, Figures>& runs() const { return runs_; }

private:
    std::map<std::string, Figures> runs_;
    bool failed_ = false;
};

std::string fixed(double value, int digits) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(digits) << value;
    return out.str();
}

// What the soak's child held after a tenth of its rounds and at the end: flat is the goal.
std::string soakSummary(const Collector::Figures& soak) {
    const auto figure = [&soak](const std::string& name) { return soak.counters.at(name); };
    const double rounds = figure("rounds");
    std::ostringstream out;
    out << "\n### Soak: " << fixed(rounds, 0)
        << " rounds of listing, hashing and signing in one host, the token pulled out and put "
           "back "
        << fixed(figure("removals"), 0) << " times (" << fixed(soak.seconds, 0) << " s)\n\n"
        << "| what | after " << fixed(rounds / 10, 0) << " rounds | at the end | growth | goal "
        << "|\n|---|---|---|---|---|\n";
    const double memory = (figure("end_KiB") - figure("start_KiB")) / 1024;
    out << "| resident memory | " << fixed(figure("start_KiB") / 1024, 1) << " MiB | "
        << fixed(figure("end_KiB") / 1024, 1) << " MiB | " << fixed(memory, 2) << " MiB | < 1 MiB"
        << (memory < 1 ? " (goal met)" : " (goal missed)") << " |\n";
    for (const auto& [what, name] : {std::pair<const char*, const char*>{"open descriptors", "fds"},
                                     {"sessions on the token", "sessions"}}) {
        const double start = figure(std::string("start_") + name);
        const double end = figure(std::string("end_") + name);
        out << "| " << what << " | " << fixed(start, 0) << " | " << fixed(end, 0) << " | "
            << fixed(end - start, 0) << " | 0" << (end == start ? " (goal met)" : " (goal missed)")
            << " |\n";
    }
    return out.str();
}

// The ratios the goals are stated in, as Markdown.
std::string summary(const Collector& collector, std::uint64_t bytes) {
    std::ostringstream out;
    const double mib = static_cast<double>(bytes) / (1 << 20);
    auto seconds = [&](const char* name) {
        const auto figures = collector.find(name);
        return figures ? figures->seconds : 0.0;
    };
    auto speed = [&](const char* name) {
        const double s = seconds(name);
        return s > 0 ? fixed(mib / s, 1) + " MiB/s" : std::string("n/a");
    };
    auto ratio = [&](const char* reference, const char* measured, double goal) {
        const double r = seconds(reference), m = seconds(measured);
        if (r <= 0 || m <= 0) {
            return std::string("n/a");
        }
        const double value = r / m;
        return fixed(value, 3) +
               (goal > 0 ? (value >= goal ? " (goal met)" : " (goal missed)") : std::string());
    };
    out << "### Hashing " << fixed(mib, 0) << " MiB (GOST R 34.11-2012, 256 bits)\n\n"
        << "| what | time, s | speed |\n|---|---|---|\n";
    for (const char* name : {"Streebog256_OpenSsl_Generated", "Hash_Module_Generated",
                             "Streebog256_OpenSsl_File", "Hash_Module_File", "Hash_Pkcs11Tool_File",
                             "Streebog256_OpenSsl_TwoPasses", "HashAndSign_Module_Generated"}) {
        out << "| " << name << " | " << fixed(seconds(name), 2) << " | " << speed(name) << " |\n";
    }
    out << "\n| ratio | value | goal |\n|---|---|---|\n"
        << "| module / OpenSSL, generated stream | "
        << ratio("Streebog256_OpenSsl_Generated", "Hash_Module_Generated", 0.95) << " | >= 0.95 |\n"
        << "| module / OpenSSL, file | "
        << ratio("Streebog256_OpenSsl_File", "Hash_Module_File", 0.95) << " | >= 0.95 |\n"
        << "| module / pkcs11-tool --hash, file | "
        << ratio("Hash_Pkcs11Tool_File", "Hash_Module_File", 0) << " | (speed-up) |\n"
        << "| hash-and-sign / two OpenSSL passes | "
        << ratio("Streebog256_OpenSsl_TwoPasses", "HashAndSign_Module_Generated", 0.9)
        << " | >= 0.9 |\n";
    if (const auto memory = collector.find("PeakMemory_Hash")) {
        const double growth = memory->counters.at("growth_KiB");
        out << "\n### Peak resident memory while hashing " << fixed(mib, 0) << " MiB\n\n"
            << "| idle host (VmHWM) | after hashing | growth | goal |\n|---|---|---|---|\n| "
            << fixed(memory->counters.at("idle_KiB") / 1024, 1) << " MiB | "
            << fixed(memory->counters.at("peak_KiB") / 1024, 1) << " MiB | "
            << fixed(growth / 1024, 2) << " MiB | < 4 MiB"
            << (growth < 4096 ? " (goal met)" : " (goal missed)") << " |\n";
    }
    if (const auto soak = collector.find("Soak_PullOutAndPutBack")) {
        out << soakSummary(*soak);
    }
    out << "\n### Certificates, keys and login\n\n| what | time per call |\n|---|---|\n";
    for (const auto& [name, figures] : collector.runs()) {
        if (name.rfind("Certificates_", 0) == 0 || name.rfind("KeyAndRequest", 0) == 0 ||
            name.rfind("Login_", 0) == 0 || name == "SignatureCheck") {
            out << "| " << name << (figures.label.empty() ? "" : " (" + figures.label + ")")
                << " | " << fixed(figures.seconds * 1000, 3) << " ms |\n";
        }
    }
    return out.str();
}

// Child mode: a host that has loaded the module and listed the token, then hashes.
int rssProbe(std::uint64_t bytes) {
    BenchToken token;
    provisionIfNeeded(*token.cryptoki());
    const auto device = deviceOf(token);
    const long idle = peakResidentKib();
    cryptoki::Provider provider(device);
    GeneratedStream data(bytes);
    provider.createHash(kStreebogOid, nullptr)->create(data);
    std::printf("%ld %ld\n", idle, peakResidentKib());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    boost::log::core::get()->set_logging_enabled(false);
    try {
        if (argc == 3 && std::string(argv[1]) == "--rss-probe") {
            return rssProbe(std::stoull(argv[2]));
        }
        if (argc == 3 && std::string(argv[1]) == "--soak") {
            return soakProbe(std::stol(argv[2]), std::cout);
        }
        std::string summaryPath;
        int kept = 1;
        for (int i = 1; i < argc; ++i) {
            const std::string argument = argv[i];
            if (argument.rfind("--summary=", 0) == 0) {
                summaryPath = argument.substr(10);
            } else {
                argv[kept++] = argv[i];
            }
        }
        argc = kept;
        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
            return 2;
        }
        registerBenchmarks();
        Collector collector;
        benchmark::RunSpecifiedBenchmarks(&collector);
        const std::string text = summary(collector, streamBytes());
        Setup::release();
        std::cout << '\n' << text;
        if (!summaryPath.empty()) {
            std::ofstream(summaryPath) << text;
        }
        benchmark::Shutdown();
        return collector.failed() ? 1 : 0;
    } catch (const std::exception& error) {
        std::cerr << "kelvo_bench: " << error.what() << '\n';
        return 1;
    }
}
