#include "FakePort.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace testsupport {

FakePort::Rule& FakePort::on(std::string trigger) {
    rules_.emplace_back();
    rules_.back().trigger = std::move(trigger);
    return rules_.back();
}

std::vector<FakePort::Event> FakePort::writes() const {
    std::vector<Event> result;
    std::ranges::copy_if(events_, std::back_inserter(result),
                         [](const Event& e) { return e.kind == Event::Write; });
    return result;
}

std::string FakePort::written() const {
    std::string result;
    for (const Event& e : writes())
        result += e.bytes;
    return result;
}

devlink::OpenStatus FakePort::open(int portNumber) {
    lastPortNumber_ = portNumber;
    openAttempts_.push_back(portNumber);
    if (open_)
        close();
    const auto chosen = openResults.find(portNumber);
    const devlink::OpenStatus result = chosen != openResults.end() ? chosen->second : openResult;
    if (result != devlink::OpenStatus::Opened)
        return result;
    open_ = true;
    failed_ = false;
    input_.clear();
    unmatched_.clear();
    record(Event::Open);
    return devlink::OpenStatus::Opened;
}

void FakePort::close() {
    if (!open_)
        return;
    open_ = false;
    input_.clear();
    record(Event::Close);
}

void FakePort::write(std::string_view bytes) {
    if (!open_)
        return;
    record(Event::Write, std::string(bytes));
    unmatched_ += bytes;
    match();
}

std::string FakePort::readOne() {
    deliverDue(clock_.time());
    if (input_.empty())
        return {};
    std::string c = input_.substr(0, 1);
    input_.erase(0, 1);
    return c;
}

void FakePort::discardInput() {
    deliverDue(clock_.time());
    record(Event::Discard, std::exchange(input_, {}));
}

void FakePort::deliverDue(double time) {
    while (!scheduled_.empty() && scheduled_.begin()->first <= time) {
        Scheduled item = std::move(scheduled_.begin()->second);
        scheduled_.erase(scheduled_.begin());
        if (item.fail && open_) { // as the real port does: the first error closes it, failed
            open_ = false;
            failed_ = true;
            input_.clear();
            record(Event::Fail);
        } else if (open_) {
            input_ += item.bytes;
        }
    }
}

void FakePort::record(Event::Kind kind, std::string bytes) {
    events_.push_back({clock_.time(), kind, std::move(bytes)});
}

void FakePort::match() {
    for (bool matched = true; matched;) {
        matched = false;
        for (Rule& rule : rules_) {
            if (rule.used && !rule.repeating)
                continue;
            const std::size_t at = unmatched_.find(rule.trigger);
            if (at == std::string::npos)
                continue;
            unmatched_.erase(0, at + rule.trigger.size());
            rule.used = true;
            fire(rule);
            matched = true;
            break;
        }
    }
}

void FakePort::fire(Rule& rule) {
    double t = clock_.time();
    for (const Rule::Piece& piece : rule.pieces) {
        t += piece.after;
        for (std::size_t i = 0; i < piece.bytes.size(); ++i) {
            if (i > 0)
                t += piece.gap;
            scheduled_.emplace(t, Scheduled{piece.bytes.substr(i, 1), false});
        }
    }
    if (rule.failAfter)
        scheduled_.emplace(t + *rule.failAfter, Scheduled{{}, true});
}

} // namespace testsupport
