#pragma once

#include <mutex>
#include <string>
#include <vector>

#include <boost/log/core.hpp>
#include <boost/log/expressions/message.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/trivial.hpp>
#include <boost/smart_ptr/make_shared.hpp>

namespace kelvo::test {

// Collects the records of the trivial logger (severity and message text) while it lives.
class CapturedLog {
public:
    struct Record {
        boost::log::trivial::severity_level severity;
        std::string text;

        bool operator==(const Record& other) const {
            return severity == other.severity && text == other.text;
        }
    };

    CapturedLog()
        : backend_(boost::make_shared<Backend>()), sink_(boost::make_shared<Sink>(backend_)) {
        boost::log::core::get()->add_sink(sink_);
    }
    ~CapturedLog() { boost::log::core::get()->remove_sink(sink_); }
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;

    std::vector<Record> records() const {
        std::lock_guard<std::mutex> lock(backend_->mutex);
        return backend_->records;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(backend_->mutex);
        backend_->records.clear();
    }

private:
    struct Backend
        : boost::log::sinks::basic_sink_backend<boost::log::sinks::synchronized_feeding> {
        void consume(const boost::log::record_view& record) {
            const auto severity = record[boost::log::trivial::severity];
            const auto message = record[boost::log::expressions::smessage];
            std::lock_guard<std::mutex> lock(mutex);
            records.push_back({severity ? severity.get() : boost::log::trivial::info,
                               message ? message.get() : std::string()});
        }
        mutable std::mutex mutex;
        std::vector<Record> records;
    };
    using Sink = boost::log::sinks::synchronous_sink<Backend>;

    boost::shared_ptr<Backend> backend_;
    boost::shared_ptr<Sink> sink_;
};

inline std::ostream& operator<<(std::ostream& out, const CapturedLog::Record& record) {
    return out << record.severity << " \"" << record.text << "\"";
}

}  // namespace kelvo::test
