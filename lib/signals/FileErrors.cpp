#include "signals/FileErrors.h"

#include <algorithm>
#include <tuple>

#include "common/Catalogue.h"
#include "common/FormatText.h"

bool FileErrors::Pending::operator<(const Pending& other) const
{
    return std::tie(line, column, order) < std::tie(other.line, other.column, other.order);
}

void FileErrors::Keep(unsigned line, unsigned column, std::string text)
{
    Pending error{ line, column, count_++, std::string() };
    if (kept_.size() == most_) {
        if (most_ == 0 || !(error < kept_.front()))
            return;
        std::pop_heap(kept_.begin(), kept_.end());
        kept_.pop_back();
    }
    error.text = std::move(text);
    kept_.push_back(std::move(error));
    std::push_heap(kept_.begin(), kept_.end());
}

void FileErrors::At(const toml::source_region& where, const std::string& what)
{
    const unsigned line = static_cast<unsigned>(where.begin.line), column = static_cast<unsigned>(where.begin.column);
    Keep(line, column, FormatText("%s:%u:%u: ", fileName_.c_str(), line, column) + what);
}

void FileErrors::File(const std::string& what)
{
    Keep(0, 0, fileName_ + ": " + what);
}

void FileErrors::Toml(const TomlProblem& problem)
{
    Keep(problem.line, problem.column, TomlProblemText(fileName_, problem));
}

bool FileErrors::FullBefore(unsigned line) const
{
    return count_ > most_ && (kept_.empty() || kept_.front().line < line);
}

void FileErrors::Finish()
{
    std::sort_heap(kept_.begin(), kept_.end());
    for (const Pending& error : kept_)
        out_->push_back(error.text);
    kept_.clear();
    if (count_ > most_)
        out_->push_back(fileName_ + ": " + FormatText(N_("more errors left out (the first %d are shown)"), static_cast<int>(most_)));
}
