#pragma once

#include "spelling/dictionary_list.h"
#include "spelling/spelling_session.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace stanzel::testing {

inline InstalledDictionary SystemDictionary(const std::string& code) {
    for (const auto& dictionary : FindDictionaries(SystemDictionaryFolders()))
        if (dictionary.code == code)
            return dictionary;
    ADD_FAILURE() << code << " is not installed (Debian's hunspell packages)";
    return {};
}

// Takes the worker's results until the dictionary has loaded or failed.
inline SpellingSession::Results WaitForDictionary(SpellingSession& session) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
        SpellingSession::Results results = session.takeResults();
        if (results.checkerChanged || !results.failedDictionary.empty())
            return results;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ADD_FAILURE() << "the dictionary never loaded";
    return {};
}

} // namespace stanzel::testing
