#pragma once

#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include <boost/log/core.hpp>
#include <boost/log/expressions/message.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/trivial.hpp>
#include <boost/smart_ptr/make_shared.hpp>

namespace kelvo::test {

// Collects the records of the trivial logger while it lives, as "<severity> <text>".
class LogCapture {
public:
    struct Line {
        boost::log::trivial::severity_level severity;
        std::string text;

        bool operator==(const Line& other) const {
            return severity == other.severity && text == other.text;
        }
    };

    LogCapture()
        : backend_(boost::make_shared<Backend>()), sink_(boost::make_shared<Sink>(backend_)) {
        boost::log::core::get()->add_sink(sink_);
    }
    ~LogCapture() { boost::log::core::get()->remove_sink(sink_); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<Line> lines() const {
        std::lock_guard<std::mutex> lock(backend_->mutex);
        return backend_->lines;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> result;
        for (const Line& line : lines()) {
            result.push_back(line.text);
        }
        return result;
    }
    bool contains(const std::string& text) const {
        for (const Line& line : lines()) {
            if (line.text == text) {
                return true;
            }
        }
        return false;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(backend_->mutex);
        backend_->lines.clear();
    }

private:
    struct Backend
        : boost::log::sinks::basic_sink_backend<boost::log::sinks::synchronized_feeding> {
        void consume(const boost::log::record_view& record) {
            const auto level = record[boost::log::trivial::severity];
            const auto severity = level ? level.get() : boost::log::trivial::info;
            const auto message = record[boost::log::expressions::smessage];
            std::lock_guard<std::mutex> lock(mutex);
            lines.push_back(Line{severity, message ? message.get() : std::string()});
        }
        mutable std::mutex mutex;
        std::vector<Line> lines;
    };
    using Sink = boost::log::sinks::synchronous_sink<Backend>;

    boost::shared_ptr<Backend> backend_;
    boost::shared_ptr<Sink> sink_;
};

inline std::ostream& operator<<(std::ostream& out, const LogCapture::Line& line) {
    return out << line.severity << " \"" << line.text << "\"";
}

}  // namespace kelvo::test
