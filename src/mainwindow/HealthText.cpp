#include "mainwindow/HealthText.h"

#include "settings/DisplayFormat.h"

namespace zlv::healthtext {

const char* Advice(GapReason reason)
{
    switch (reason) {
    case GapReason::Overflow:
        return "Operations made during that burst may be missing from the journal; files and "
               "folders created then were recovered where they still exist.";
    case GapReason::WatchLimit:
        return "Operations in the folders that are not watched are not recorded until the limit "
               "is raised and Zelvory is started again.";
    case GapReason::WriteFailed:
        return "Free some disk space or make the data folder writable again.";
    case GapReason::PathTooLong:
        return "Operations in folders with such long paths may be missing.";
    case GapReason::CaptureStopped:
        return "Nothing is recorded until Zelvory is started again.";
    case GapReason::NotRunning:
        return "Operations made while Zelvory was not running are not in the journal.";
    }
    return "";
}

std::string Message(const CaptureIncident& incident)
{
    return incident.sentence + "\r\n\r\n" + Advice(incident.reason);
}

std::string Headline(const CaptureHealth& health)
{
    if (health.complete()) {
        return {};
    }
    if (health.anyActive()) {
        return "Recording incomplete";
    }
    if (health.heldRecords() > 0) {
        return std::to_string(health.heldRecords()) + " records not written yet";
    }
    return "Journal has gaps";
}

std::string Details(const CaptureHealth& health)
{
    if (health.complete()) {
        return {};
    }
    const std::string pattern = GetDisplayPattern();
    std::string text;
    const auto add = [&text](const std::string& part) {
        if (!text.empty()) {
            text += "\n\n";
        }
        text += part;
    };
    for (const CaptureHealth::Entry& e : health.entries()) {
        std::string part = e.incident.sentence;
        part += "\nSince " + FormatTimestamp(e.since, pattern) + ".";
        if (e.incident.missing >= 0) {
            part += " Operations missing: " + std::to_string(e.incident.missing) + ".";
        } else if (e.incident.isGap) {
            part += " How many operations are missing is not known.";
        }
        part += std::string("\n") + Advice(e.incident.reason);
        if (e.incident.ongoing && !e.active) {
            part += "\nThis has ended; the gap stays in the journal.";
        }
        add(part);
    }
    if (health.heldRecords() > 0) {
        add(std::to_string(health.heldRecords()) +
            " records are waiting in memory to be written to the day file; they keep their "
            "times and are written as soon as the data folder takes them again.");
    }
    return text;
}

} // namespace zlv::healthtext
