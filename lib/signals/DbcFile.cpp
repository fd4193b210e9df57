#include "signals/DbcFile.h"

#include <math.h>
#include <stdlib.h>

#include <exception>
#include <unordered_map>

#include "common/Catalogue.h"
#include "common/Escapes.h"
#include "common/FormatText.h"
#include "protocol/PayloadLimits.h"

namespace {

// Bounds that keep a hostile file's model within a few hundred MiB.
const size_t kMaxDbcMessages = 100000;
const size_t kMaxDbcSignals = 500000;     // in all messages
const size_t kMaxDbcValueNames = 1000000; // in all VAL_ and VAL_TABLE_
const size_t kMaxDbcNotes = 100000;

struct Token {
    enum Kind { kEnd, kWord, kNumber, kString, kPunct } kind = kEnd;
    std::string text;
    int line = 0, column = 0;
    bool lineStart = false;   // the first token on its line
};

bool IsWordStart(char c) { return isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsWordChar(char c) { return isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class Lexer {
public:
    explicit Lexer(const std::string& text) : text_(text) {}

    // The next token; an unclosed text in quotes is reported through *error.
    Token Next(std::string* error)
    {
        bool newLine = at_ == 0;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '\n') {
                Advance();
                newLine = true;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                Advance();
            } else if (c == '/' && at_ + 1 < text_.size() && text_[at_ + 1] == '/') {
                while (at_ < text_.size() && text_[at_] != '\n')
                    Advance();
            } else {
                break;
            }
        }
        Token token;
        token.line = line_;
        token.column = column_;
        token.lineStart = newLine;
        if (at_ >= text_.size())
            return token;
        const char c = text_[at_];
        const bool signedNumber = (c == '-' || c == '+') && at_ + 1 < text_.size() &&
                                  (IsDigit(text_[at_ + 1]) || text_[at_ + 1] == '.');
        if (IsWordStart(c)) {
            token.kind = Token::kWord;
            while (at_ < text_.size() && IsWordChar(text_[at_]))
                token.text += Advance();
        } else if (IsDigit(c) || signedNumber || (c == '.' && at_ + 1 < text_.size() && IsDigit(text_[at_ + 1]))) {
            token.kind = Token::kNumber;
            token.text += Advance();
            while (at_ < text_.size()) {
                const char d = text_[at_];
                const bool exponentSign = (d == '-' || d == '+') && (token.text.back() == 'e' || token.text.back() == 'E');
                if (!(IsDigit(d) || d == '.' || d == 'e' || d == 'E' || d == 'x' || d == 'X' || exponentSign ||
                      isxdigit(static_cast<unsigned char>(d))))
                    break;
                token.text += Advance();
            }
        } else if (c == '"') {
            token.kind = Token::kString;
            Advance();
            for (;;) {
                if (at_ >= text_.size()) {
                    *error = N_("text in quotes is not closed");
                    break;
                }
                const char d = Advance();
                if (d == '"')
                    break;
                if (d == '\\' && at_ < text_.size() && (text_[at_] == '"' || text_[at_] == '\\')) {
                    token.text += Advance();
                    continue;
                }
                token.text += d;
            }
        } else {
            token.kind = Token::kPunct;
            token.text = Advance();
        }
        return token;
    }

private:
    char Advance()
    {
        const char c = text_[at_++];
        if (c == '\n') {
            ++line_;
            column_ = 1;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++column_;   // a column per character, not per byte
        }
        return c;
    }

    const std::string& text_;
    size_t at_ = 0;
    int line_ = 1, column_ = 1;
};

const char* const kSections[] = {
    "VERSION", "NS_", "NS_DESC_", "BS_", "BU_", "VAL_TABLE_", "BO_", "SG_", "BO_TX_BU_", "EV_", "ENVVAR_DATA_",
    "EV_DATA_", "SGTYPE_", "SGTYPE_VAL_", "SIG_TYPE_REF_", "SIG_GROUP_", "SIG_VALTYPE_", "SIGTYPE_VALTYPE_", "CM_",
    "BA_DEF_", "BA_DEF_DEF_", "BA_", "BA_DEF_REL_", "BA_REL_", "BA_DEF_DEF_REL_", "BU_SG_REL_", "BU_EV_REL_",
    "BU_BO_REL_", "VAL_", "CAT_DEF_", "CAT_", "FILTER", "BA_DEF_SGTYPE_", "BA_SGTYPE_", "SG_MUL_VAL_",
};

bool IsSection(const Token& token)
{
    if (token.kind != Token::kWord)
        return false;
    for (const char* section : kSections)
        if (token.text == section)
            return true;
    return false;
}

// A word shaped like a section's keyword (capitals, digits and '_', ending
// in '_'): where a statement of a section not known here may begin.
bool IsSectionShaped(const Token& token)
{
    if (token.kind != Token::kWord || token.text.size() < 3 || token.text.back() != '_')
        return false;
    for (char c : token.text)
        if (!(isupper(static_cast<unsigned char>(c)) || IsDigit(c) || c == '_'))
            return false;
    return true;
}

// What an attribute definition or value is about.
enum AttributeScope { kScopeFile, kScopeNode, kScopeMessage, kScopeSignal, kScopeEnv };

class Reader {
public:
    Reader(const std::string& text, const std::string& fileName, DbcFile* file, std::vector<std::string>* errors)
        : lexer_(text), fileName_(fileName), file_(file), errors_(errors) {}

    void Read();

private:
    // Statements. Each begins at its keyword (taken) and ends at its ';' or line.
    void Statement();
    void Message();
    void Signal();
    void Comment();
    void ValueTable();
    void Values();
    void ValueType();
    void AttributeDefinition();
    void AttributeDefault();
    void Attribute();
    void Nodes();

    // Tokens.
    const Token& Peek() { return next_; }
    Token Take();
    bool Punct(char c);   // takes it when it is next
    bool Expect(char c);
    bool Word(std::string* word);
    bool Text(std::string* text);
    bool Number(double* value);
    bool Unsigned(uint64_t highest, uint64_t* value);
    bool Integer(int64_t* value);
    // Value descriptions up to ';': raw "text" pairs.
    bool ValueNames(std::vector<DbcValueName>* names);

    void Error(const Token& at, const std::string& what);
    void Note(const Token& at, const std::string& what);
    // Past the statement: to the next line that begins a section.
    void SkipStatement();
    // A statement's end: its ';' when it has one, then its line ends.
    void EndStatement(bool semicolon);

    DbcMessage* FindMessage(const Token& at, uint64_t id);
    DbcSignal* FindSignal(const Token& at, uint64_t id, const std::string& name);
    AttributeScope Scope();

    Lexer lexer_;
    Token next_;
    bool failed_ = false;   // the statement at hand had an error: skip the rest of it
    bool messageFailed_ = false;   // the last BO_ had an error: its SG_ lines are skipped with it
    std::string fileName_;
    DbcFile* file_;
    std::vector<std::string>* errors_;
    size_t errorCount_ = 0, signalCount_ = 0, valueNameCount_ = 0, noteCount_ = 0;
    std::unordered_map<uint32_t, size_t> byId_;
    std::unordered_map<std::string, size_t> bySignal_;   // "MESSAGE-INDEX NAME" to the signal's index
    std::unordered_map<std::string, std::vector<DbcValueName>> tables_;
    // The attributes read here: their defaults; the others' notes, by name.
    bool hasCycleDefault_ = false, hasStartDefault_ = false;
    double cycleDefault_ = 0, startDefault_ = 0;
    std::unordered_map<std::string, std::pair<size_t, size_t>> otherAttributes_;   // note index, values
};

void Reader::Error(const Token& at, const std::string& what)
{
    failed_ = true;
    if (errorCount_++ < kMaxDbcErrors)
        errors_->push_back(FormatText("%s:%d:%d: ", fileName_.c_str(), at.line, at.column) + what);
}

void Reader::Note(const Token& at, const std::string& what)
{
    if (noteCount_++ < kMaxDbcNotes)
        file_->notes.push_back(DbcNote{ at.line, at.column, what });
}

Token Reader::Take()
{
    Token token = next_;
    std::string error;
    next_ = lexer_.Next(&error);
    if (!error.empty())
        Error(next_, error);
    return token;
}

bool Reader::Punct(char c)
{
    if (next_.kind != Token::kPunct || next_.text[0] != c)
        return false;
    Take();
    return true;
}

std::string Shown(const Token& token)
{
    return token.kind == Token::kEnd ? std::string(N_("the end of the file")) : QuoteInput(token.text, 40);
}

bool Reader::Expect(char c)
{
    if (Punct(c))
        return true;
    Error(next_, FormatText(N_("expected '%c', found %s"), c, Shown(next_).c_str()));
    return false;
}

bool Reader::Word(std::string* word)
{
    if (next_.kind != Token::kWord) {
        Error(next_, FormatText(N_("expected a name, found %s"), Shown(next_).c_str()));
        return false;
    }
    *word = Take().text;
    return true;
}

bool Reader::Text(std::string* text)
{
    if (next_.kind != Token::kString) {
        Error(next_, FormatText(N_("expected text in quotes, found %s"), Shown(next_).c_str()));
        return false;
    }
    *text = Take().text;
    return true;
}

bool Reader::Number(double* value)
{
    if (next_.kind != Token::kNumber) {
        Error(next_, FormatText(N_("expected a number, found %s"), Shown(next_).c_str()));
        return false;
    }
    const Token token = Take();
    char* end = nullptr;
    *value = strtod(token.text.c_str(), &end);
    // A number past a double's range (J1939 files write such limits) is infinite.
    if (end == token.text.c_str() || *end != '\0' || isnan(*value)) {
        Error(token, FormatText(N_("%s is not a number"), QuoteInput(token.text, 40).c_str()));
        return false;
    }
    return true;
}

bool Reader::Unsigned(uint64_t highest, uint64_t* value)
{
    const Token at = next_;
    double number;
    if (!Number(&number))
        return false;
    uint64_t whole = 0;
    bool digits = !at.text.empty();
    for (char c : at.text) {
        if (!IsDigit(c) || whole > (UINT64_MAX - 9) / 10) {
            digits = false;
            break;
        }
        whole = whole * 10 + static_cast<uint64_t>(c - '0');
    }
    if (!digits || whole > highest) {
        Error(at, FormatText(N_("expected a whole number from 0 to %llu, found %s"), static_cast<unsigned long long>(highest),
                             QuoteInput(at.text, 40).c_str()));
        return false;
    }
    *value = whole;
    return true;
}

bool Reader::Integer(int64_t* value)
{
    const Token at = next_;
    double number;
    if (!Number(&number))
        return false;
    if (number != floor(number) || number < -9.2e18 || number > 9.2e18) {
        Error(at, FormatText(N_("expected a whole number, found %s"), QuoteInput(at.text, 40).c_str()));
        return false;
    }
    *value = static_cast<int64_t>(number);
    return true;
}

bool Reader::ValueNames(std::vector<DbcValueName>* names)
{
    while (next_.kind == Token::kNumber) {
        DbcValueName name;
        if (!Integer(&name.raw) || !Text(&name.text))
            return false;
        if (valueNameCount_++ >= kMaxDbcValueNames) {
            Error(next_, FormatText(N_("more than %llu value descriptions"), static_cast<unsigned long long>(kMaxDbcValueNames)));
            return false;
        }
        names->push_back(std::move(name));
    }
    return true;
}

void Reader::SkipStatement()
{
    while (next_.kind != Token::kEnd && !(next_.lineStart && (IsSection(next_) || IsSectionShaped(next_))))
        Take();
}

void Reader::EndStatement(bool semicolon)
{
    if (failed_)
        return;
    if (semicolon && !Punct(';') && !next_.lineStart && next_.kind != Token::kEnd) {
        Expect(';');
        return;
    }
    if (!next_.lineStart && next_.kind != Token::kEnd)
        Error(next_, FormatText(N_("unexpected %s"), Shown(next_).c_str()));
}

DbcMessage* Reader::FindMessage(const Token& at, uint64_t id)
{
    auto found = byId_.find(static_cast<uint32_t>(id));
    if (found == byId_.end()) {
        Note(at, FormatText(N_("no message %llu (BO_) for this: left out"), static_cast<unsigned long long>(id)));
        return nullptr;
    }
    return &file_->messages[found->second];
}

DbcSignal* Reader::FindSignal(const Token& at, uint64_t id, const std::string& name)
{
    DbcMessage* message = FindMessage(at, id);
    if (message == nullptr)
        return nullptr;
    auto found = bySignal_.find(std::to_string(message - file_->messages.data()) + " " + name);
    if (found != bySignal_.end())
        return &message->signals[found->second];
    Note(at, FormatText(N_("no signal %s in message %s for this: left out"), name.c_str(), message->name.c_str()));
    return nullptr;
}

void Reader::Read()
{
    Take();
    while (next_.kind != Token::kEnd) {
        failed_ = false;
        const Token start = next_;
        if (!IsSection(start)) {
            if (start.lineStart && start.kind == Token::kWord)
                Note(start, FormatText(N_("unknown section %s left out"), QuoteInput(start.text, 40).c_str()));
            else
                Error(start, FormatText(N_("unexpected %s"), Shown(start).c_str()));
            Take();
            SkipStatement();
            continue;
        }
        Statement();
        if (failed_)
            SkipStatement();
    }
    if (errorCount_ > kMaxDbcErrors)
        errors_->push_back(fileName_ + ": " +
                           FormatText(N_("more errors left out (the first %d are shown)"), static_cast<int>(kMaxDbcErrors)));
    if (noteCount_ > kMaxDbcNotes)
        file_->notes.push_back(DbcNote{ 0, 0, FormatText(N_("%llu more notes left out"),
                                                          static_cast<unsigned long long>(noteCount_ - kMaxDbcNotes)) });
    for (const auto& attribute : otherAttributes_) {
        DbcNote& note = file_->notes[attribute.second.first];
        note.what = FormatText(N_("attribute '%s' left out, with its values: %llu"), attribute.first.c_str(),
                               static_cast<unsigned long long>(attribute.second.second));
    }
    // Defaults for what the file did not give.
    for (DbcMessage& message : file_->messages) {
        if (!message.hasCycle && hasCycleDefault_ && cycleDefault_ > 0) {
            message.hasCycle = true;
            message.cycleMs = cycleDefault_;
        }
        for (DbcSignal& signal : message.signals) {
            if (!signal.hasStartValue && hasStartDefault_ && startDefault_ != 0) {
                signal.hasStartValue = true;
                signal.startValue = startDefault_;
            }
        }
    }
}

void Reader::Statement()
{
    const Token keyword = Take();
    const std::string& word = keyword.text;
    if (word == "BO_") {
        Message();
    } else if (word == "SG_") {
        Signal();
    } else if (word == "CM_") {
        Comment();
    } else if (word == "VAL_TABLE_") {
        ValueTable();
    } else if (word == "VAL_") {
        Values();
    } else if (word == "SIG_VALTYPE_") {
        ValueType();
    } else if (word == "BA_DEF_") {
        AttributeDefinition();
    } else if (word == "BA_DEF_DEF_") {
        AttributeDefault();
    } else if (word == "BA_") {
        Attribute();
    } else if (word == "BU_") {
        Nodes();
    } else if (word == "NS_") {
        // NS_ : and the keywords the file may use, one an indented line.
        while (next_.kind != Token::kEnd && !(next_.lineStart && next_.column == 1))
            Take();
    } else if (word == "BS_" || word == "VERSION") {
        SkipStatement();   // the bus speed (obsolete) and the file's version: nothing of the signals
    } else {
        const char* what = word == "EV_" || word == "ENVVAR_DATA_" || word == "EV_DATA_"  ? N_("environment variable (%s) left out")
                           : word == "SIG_GROUP_"                                       ? N_("signal group (%s) left out")
                           : word == "SG_MUL_VAL_"                                      ? N_("extended multiplexing (%s) left out")
                           : word == "BO_TX_BU_" || word == "BU_SG_REL_" || word == "BU_EV_REL_" || word == "BU_BO_REL_"
                               ? N_("senders and receivers (%s) left out")
                           : word.compare(0, 3, "BA_") == 0 ? N_("attribute (%s) left out")
                                                            : N_("signal types and categories (%s) left out");
        Note(keyword, FormatText(what, word.c_str()));
        SkipStatement();
    }
}

// BU_: NODE...
void Reader::Nodes()
{
    if (!Expect(':'))
        return;
    const Token at = next_;
    size_t nodes = 0;
    while (next_.kind == Token::kWord && !next_.lineStart) {
        Take();
        ++nodes;
    }
    if (nodes != 0)
        Note(at, FormatText(N_("nodes (BU_) left out, with every message's sender and receivers: %llu"),
                               static_cast<unsigned long long>(nodes)));
    EndStatement(false);
}

// BO_ ID NAME: DLC SENDER
void Reader::Message()
{
    DbcMessage message;
    const Token at = next_;
    uint64_t id, dlc;
    std::string sender;
    messageFailed_ = true;
    if (!Unsigned(UINT32_MAX, &id) || !Word(&message.name) || !Expect(':') || !Unsigned(kMaxPayloadBytes, &dlc) ||
        !Word(&sender))
        return;
    messageFailed_ = true;
    message.id = static_cast<uint32_t>(id);
    message.dlc = static_cast<unsigned>(dlc);
    message.line = at.line;
    message.column = at.column;
    EndStatement(false);
    if (failed_)
        return;
    if (file_->messages.size() >= kMaxDbcMessages) {
        Error(at, FormatText(N_("more than %llu messages"), static_cast<unsigned long long>(kMaxDbcMessages)));
        return;
    }
    if (!byId_.emplace(message.id, file_->messages.size()).second) {
        Error(at, FormatText(N_("message %llu is given twice (first at line %d)"), static_cast<unsigned long long>(id),
                             file_->messages[byId_[message.id]].line));
        return;
    }
    messageFailed_ = false;
    file_->messages.push_back(std::move(message));
}

// SG_ NAME [M|mN|mNM] : START|LENGTH@ORDER SIGN (FACTOR,OFFSET) [MIN|MAX] "UNIT" RECEIVER,...
void Reader::Signal()
{
    DbcSignal signal;
    const Token at = next_;
    signal.line = at.line;
    signal.column = at.column;
    if (!Word(&signal.name))
        return;
    if (next_.kind == Token::kWord) {
        const Token mux = Take();
        const std::string& text = mux.text;
        size_t digits = 1;
        while (digits < text.size() && IsDigit(text[digits]) && digits < 19)
            ++digits;
        if (text == "M") {
            signal.multiplexor = true;
        } else if (text[0] == 'm' && digits > 1 && (digits == text.size() || (digits + 1 == text.size() && text[digits] == 'M'))) {
            signal.multiplexed = true;
            signal.multiplexor = digits < text.size();
            signal.muxValue = strtoull(text.substr(1, digits - 1).c_str(), nullptr, 10);
        } else {
            Error(mux, FormatText(N_("unknown multiplexing %s (expected M, mN or mNM)"), QuoteInput(text, 40).c_str()));
            return;
        }
    }
    uint64_t start, length, order;
    if (!Expect(':'))
        return;
    const Token startAt = next_;
    const Token lengthAt = (Unsigned(UINT32_MAX, &start) && Expect('|')) ? next_ : Token();
    if (failed_ || !Unsigned(UINT32_MAX, &length) || !Expect('@') || !Unsigned(1, &order))
        return;
    if (next_.kind != Token::kPunct || (next_.text != "+" && next_.text != "-")) {
        Error(next_, FormatText(N_("expected + (unsigned) or - (signed), found %s"), Shown(next_).c_str()));
        return;
    }
    signal.isSigned = Take().text == "-";
    if (!Expect('(') || !Number(&signal.factor) || !Expect(',') || !Number(&signal.offset) || !Expect(')') ||
        !Expect('[') || !Number(&signal.min) || !Expect('|') || !Number(&signal.max) || !Expect(']') || !Text(&signal.unit))
        return;
    while (next_.kind == Token::kWord && !next_.lineStart) {   // receivers
        Take();
        if (!Punct(','))
            break;
    }
    EndStatement(false);
    if (failed_)
        return;
    if (length < 1) {
        Error(lengthAt, N_("a signal has at least 1 bit"));
        return;
    }
    signal.motorola = order == 0;
    if (!DbcSignalFits(start, length, signal.motorola)) {
        Error(startAt, N_("the signal ends past the 64 KiB an array holds"));
        return;
    }
    signal.startBit = static_cast<unsigned>(start);
    signal.length = static_cast<unsigned>(length);
    if (messageFailed_)
        return;
    if (file_->messages.empty()) {
        Error(at, N_("SG_ before any BO_, whose signal it would be"));
        return;
    }
    if (signalCount_++ >= kMaxDbcSignals) {
        Error(at, FormatText(N_("more than %llu signals"), static_cast<unsigned long long>(kMaxDbcSignals)));
        return;
    }
    std::vector<DbcSignal>& signals = file_->messages.back().signals;
    bySignal_.emplace(std::to_string(file_->messages.size() - 1) + " " + signal.name, signals.size());
    signals.push_back(std::move(signal));
}

AttributeScope Reader::Scope()
{
    if (next_.kind != Token::kWord)
        return kScopeFile;
    const std::string& word = next_.text;
    const AttributeScope scope = word == "BU_" ? kScopeNode : word == "BO_" ? kScopeMessage
                               : word == "SG_" ? kScopeSignal : word == "EV_" ? kScopeEnv : kScopeFile;
    if (scope != kScopeFile)
        Take();
    return scope;
}

// CM_ [BU_ NODE | BO_ ID | SG_ ID NAME | EV_ NAME] "TEXT";
void Reader::Comment()
{
    const Token at = next_;
    const AttributeScope scope = Scope();
    uint64_t id = 0;
    std::string name, text;
    if ((scope == kScopeMessage || scope == kScopeSignal) && !Unsigned(UINT32_MAX, &id))
        return;
    if ((scope == kScopeSignal || scope == kScopeNode || scope == kScopeEnv) && !Word(&name))
        return;
    if (!Text(&text))
        return;
    EndStatement(true);
    if (failed_)
        return;
    if (scope == kScopeMessage) {
        if (DbcMessage* message = FindMessage(at, id)) {
            message->comment = std::move(text);
            message->commentLine = at.line;
        }
    } else if (scope == kScopeSignal) {
        if (DbcSignal* signal = FindSignal(at, id, name))
            signal->comment = std::move(text);
    } else {
        Note(at, scope == kScopeFile ? N_("the file's comment (CM_) left out")
                                     : N_("a comment on a node or an environment variable (CM_) left out"));
    }
}

// VAL_TABLE_ NAME RAW "TEXT" ...;
void Reader::ValueTable()
{
    std::string name;
    std::vector<DbcValueName> names;
    if (!Word(&name) || !ValueNames(&names))
        return;
    EndStatement(true);
    if (!failed_)
        tables_[name] = std::move(names);
}

// VAL_ ID SIGNAL RAW "TEXT" ...;  or VAL_ ID SIGNAL TABLE;  or VAL_ ENVVAR RAW "TEXT" ...;
void Reader::Values()
{
    const Token at = next_;
    if (next_.kind == Token::kWord) {
        Note(at, N_("value descriptions of an environment variable (VAL_) left out"));
        SkipStatement();
        return;
    }
    uint64_t id;
    std::string name, table;
    std::vector<DbcValueName> names;
    if (!Unsigned(UINT32_MAX, &id) || !Word(&name))
        return;
    const Token tableAt = next_;
    if (next_.kind == Token::kWord)
        table = Take().text;
    else if (!ValueNames(&names))
        return;
    EndStatement(true);
    if (failed_)
        return;
    if (!table.empty()) {
        auto found = tables_.find(table);
        if (found == tables_.end()) {
            Note(tableAt, FormatText(N_("no value table %s (VAL_TABLE_) for this: left out"), table.c_str()));
            return;
        }
        names = found->second;
    }
    if (DbcSignal* signal = FindSignal(at, id, name)) {
        signal->values = std::move(names);
        signal->valuesLine = at.line;
    }
}

// SIG_VALTYPE_ ID SIGNAL : 1|2;
void Reader::ValueType()
{
    const Token at = next_;
    uint64_t id, kind;
    std::string name;
    if (!Unsigned(UINT32_MAX, &id) || !Word(&name))
        return;
    Punct(':');
    const Token kindAt = next_;
    if (!Unsigned(2, &kind))
        return;
    EndStatement(true);
    if (failed_)
        return;
    if (DbcSignal* signal = FindSignal(at, id, name)) {
        signal->floatBits = kind == 1 ? 32 : kind == 2 ? 64 : 0;
        if (signal->floatBits != 0 && signal->length != signal->floatBits)
            Error(kindAt, FormatText(N_("signal %s is %u bits, not the %u of a %s"), name.c_str(), signal->length,
                                     signal->floatBits, kind == 1 ? "float" : "double"));
    }
}

bool IsReadAttribute(const std::string& name)
{
    return name == "GenMsgCycleTime" || name == "GenSigStartValue";
}

// BA_DEF_ [BU_|BO_|SG_|EV_] "NAME" TYPE ...;
void Reader::AttributeDefinition()
{
    Scope();
    const Token at = next_;
    std::string name;
    if (!Text(&name))
        return;
    SkipStatement();
    if (!IsReadAttribute(name) && otherAttributes_.find(name) == otherAttributes_.end()) {
        Note(at, name);   // the text is made when its values are counted
        if (noteCount_ <= kMaxDbcNotes)
            otherAttributes_[name] = { file_->notes.size() - 1, 0 };
    }
}

// BA_DEF_DEF_ "NAME" VALUE;
void Reader::AttributeDefault()
{
    std::string name;
    if (!Text(&name))
        return;
    if (!IsReadAttribute(name) || next_.kind != Token::kNumber) {
        SkipStatement();   // another attribute's default, noted with its definition; or one not a number
        return;
    }
    double value;
    if (!Number(&value))
        return;
    EndStatement(true);
    if (name == "GenMsgCycleTime") {
        hasCycleDefault_ = true;
        cycleDefault_ = value;
    } else {
        hasStartDefault_ = true;
        startDefault_ = value;
    }
}

// BA_ "NAME" [BU_ NODE | BO_ ID | SG_ ID SIGNAL | EV_ NAME] VALUE;
void Reader::Attribute()
{
    const Token at = next_;
    std::string name;
    if (!Text(&name))
        return;
    if (!IsReadAttribute(name)) {
        auto other = otherAttributes_.find(name);
        if (other != otherAttributes_.end())
            ++other->second.second;
        else
            Note(at, FormatText(N_("attribute '%s' (BA_) left out"), name.c_str()));
        SkipStatement();
        return;
    }
    const AttributeScope scope = Scope();
    uint64_t id = 0;
    std::string signalName;
    double value;
    if (scope != kScopeMessage && scope != kScopeSignal) {
        Note(at, FormatText(N_("attribute '%s' (BA_) left out"), name.c_str()));
        SkipStatement();
        return;
    }
    if (!Unsigned(UINT32_MAX, &id) || (scope == kScopeSignal && !Word(&signalName)))
        return;
    if (next_.kind != Token::kNumber) {
        Note(at, FormatText(N_("attribute '%s' (BA_) left out"), name.c_str()));
        SkipStatement();
        return;
    }
    if (!Number(&value))
        return;
    EndStatement(true);
    if (failed_)
        return;
    if (name == "GenMsgCycleTime" && scope == kScopeMessage) {
        if (DbcMessage* message = FindMessage(at, id)) {
            message->hasCycle = true;
            message->cycleMs = value;
            message->cycleLine = at.line;
        }
    } else if (name == "GenSigStartValue" && scope == kScopeSignal) {
        if (DbcSignal* signal = FindSignal(at, id, signalName)) {
            signal->hasStartValue = true;
            signal->startValue = value;
            signal->startValueLine = at.line;
        }
    } else {
        Note(at, FormatText(N_("attribute '%s' (BA_) left out"), name.c_str()));
    }
}

} // namespace

void MotorolaPlace(unsigned startBit, unsigned length, unsigned* byte, unsigned* bit)
{
    // Count the bits from the top of byte 0 down: the MSB is at msb, the LSB
    // length - 1 further on.
    const uint64_t msb = static_cast<uint64_t>(startBit / 8) * 8 + (7 - startBit % 8);
    const uint64_t lsb = msb + length - 1;
    *byte = startBit / 8;
    *bit = static_cast<unsigned>(7 - lsb % 8);
}

bool DbcSignalFits(uint64_t startBit, uint64_t length, bool motorola)
{
    if (startBit > UINT32_MAX || length < 1 || length > UINT32_MAX)
        return false;
    uint64_t lastBit = startBit + length - 1;
    if (motorola) {
        unsigned byte, bit;
        MotorolaPlace(static_cast<unsigned>(startBit), static_cast<unsigned>(std::min<uint64_t>(length, UINT32_MAX / 2)),
                      &byte, &bit);
        lastBit = (static_cast<uint64_t>(byte) + (bit + length + 7) / 8) * 8 - 1;
    }
    return lastBit < static_cast<uint64_t>(kMaxPayloadBytes) * 8;
}

bool RunDbcReader(const std::string& text, const std::string& fileName, std::vector<std::string>* errors,
                  const std::function<void()>& read)
{
    errors->clear();
    if (text.size() > kMaxDbcBytes) {
        errors->push_back(fileName + ": " + FormatText(N_("more than %d MiB"), kMaxDbcBytes >> 20));
        return false;
    }
    try {
        read();
    } catch (const std::exception& e) {
        errors->push_back(fileName + ": " + e.what());
    }
    return errors->empty();
}

bool ReadDbcFile(const std::string& text, const std::string& fileName, DbcFile* file, std::vector<std::string>* errors)
{
    return RunDbcReader(text, fileName, errors, [&] { Reader(text, fileName, file, errors).Read(); });
}
