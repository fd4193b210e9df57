// The mistakes found in one TOML file (a signal file, a panel, a
// workspace), handed over in the file's order. Only the first `most` in the
// file are kept, whatever order a loader finds them in, so the last line's
// "the first N are shown" is true. Pure logic.
#pragma once
#include <stddef.h>

#include <exception>
#include <string>
#include <vector>

#include "common/Catalogue.h"

#include "signals/TomlText.h"
#include "signals/TomlValues.h"

class FileErrors : public TomlErrors {
public:
    FileErrors(const std::string& fileName, size_t most, std::vector<std::string>* out)
        : fileName_(fileName), most_(most), out_(out) {}

    // "FILE:LINE:COLUMN: what".
    void At(const toml::source_region& where, const std::string& what) override;
    // "FILE: what": the file as a whole, before every placed one.
    void File(const std::string& what);
    void Toml(const TomlProblem& problem);

    bool Any() const { return count_ != 0; }
    // Whether nothing found at or after line could be shown any more.
    bool FullBefore(unsigned line) const;
    // The kept ones into out in the file's order (ties as found), then one
    // line when more were found than kept.
    void Finish();

private:
    struct Pending {
        unsigned line, column;
        size_t order;
        std::string text;
        bool operator<(const Pending& other) const;
    };
    void Keep(unsigned line, unsigned column, std::string text);

    std::string fileName_;
    size_t most_;
    std::vector<std::string>* out_;
    std::vector<Pending> kept_;   // a max-heap: the latest in the file on top
    size_t count_ = 0;
};

// Runs load, which puts a file's mistakes into *errors (cleared first), so
// that nothing it throws (toml++ or the memory) escapes: that too becomes
// "FILE: why". True when there were no mistakes.
template <typename Load>
bool RunFileLoader(const std::string& fileName, std::vector<std::string>* errors, Load load)
{
    errors->clear();
    try {
        load();
        return errors->empty();
    } catch (const std::exception& e) {
        errors->push_back(fileName + ": " + e.what());
    } catch (...) {
        errors->push_back(fileName + ": " + N_("could not be read"));
    }
    return false;
}
