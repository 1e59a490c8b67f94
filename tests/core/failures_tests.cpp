#include "base/failures.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "base/system_error.h"

using namespace kestro;

namespace {

TEST(SwallowedFailures, AreRecordedWithWhereAndWhatToEveryListener) {
    std::vector<std::string> debugger;
    std::vector<std::string> log;
    SetFailureDebugOutput([&](const std::string& record) { debugger.push_back(record); });
    SetFailureRunLog([&](const std::string& record) { log.push_back(record); });
    try {
        throw std::runtime_error("disk gone");
    } catch (...) {
        SwallowedFailure("ScanDialog::FinishLog");
    }
    try {
        throw 42;
    } catch (...) {
        SwallowedFailure("somewhere");
    }
    SetFailureRunLog(nullptr); // the run is over
    try {
        throw SystemError(IDS_PIPE_READ_ERROR, 109);
    } catch (...) {
        SwallowedFailure("ToolRunner::Serve");
    }
    SetFailureDebugOutput(nullptr);
    EXPECT_EQ(debugger, (std::vector<std::string>{"failure ignored in ScanDialog::FinishLog: disk gone",
                                                  "failure ignored in somewhere: a failure of no known kind",
                                                  "failure ignored in ToolRunner::Serve: system error 109 (text 123)"}));
    EXPECT_EQ(log, (std::vector<std::string>{"failure ignored in ScanDialog::FinishLog: disk gone",
                                             "failure ignored in somewhere: a failure of no known kind"}));
}

// A listener that fails in turn is not entered again, and nothing escapes.
TEST(SwallowedFailures, AListenerThatFailsIsNotEnteredAgain) {
    int calls = 0;
    SetFailureRunLog([&](const std::string&) {
        ++calls;
        try {
            throw std::runtime_error("the log is gone too");
        } catch (...) {
            SwallowedFailure("the listener");
        }
        throw std::runtime_error("and this one escapes the listener");
    });
    try {
        throw std::runtime_error("first");
    } catch (...) {
        EXPECT_NO_THROW(SwallowedFailure("here"));
    }
    SetFailureRunLog(nullptr);
    EXPECT_EQ(calls, 1);
}

// A system failure travels as a value and becomes words only when it is shown, in the language
// of the texts; the English words are those the program always showed.
TEST(SystemErrors, BecomeWordsWhereTheyAreShown) {
    const SystemError error(IDS_CREATE_PROCESS_ERROR, 2);
    EXPECT_EQ(error.Text(), IDS_CREATE_PROCESS_ERROR);
    EXPECT_EQ(error.Code(), 2u);
    EXPECT_EQ(error.Words(), "Error while creating restore process!2");
    EXPECT_EQ(SystemError(IDS_PIPE_CREATE_ERROR, 8).Words(), "Error on STDOUT pipe creation : 8");
    SetTextLanguage(Language::German);
    EXPECT_EQ(error.Words(), "Fehler beim Starten des Wiederherstellungsprozesses! Fehlernummer: 2");
    SetTextLanguage(Language::English);
    EXPECT_STREQ(error.what(), "system error 2 (text 120)");
}

} // namespace
