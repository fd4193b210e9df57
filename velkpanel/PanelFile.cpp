#include "velkpanel/PanelFile.h"

#include <math.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>

#include "common/Catalogue.h"
#include "common/ClosestWord.h"
#include "common/Escapes.h"
#include "common/WordList.h"
#include "common/FormatText.h"
#include "formats/Duration.h"
#include "signals/DatabaseResolver.h"
#include "signals/FileErrors.h"
#include "signals/SignalCodec.h"
#include "signals/TomlText.h"
#include "signals/TomlValues.h"
#include "velkpanel/PanelControls.h"

namespace {

const char* const kWidgetTypeNames[] = { "slider", "spin", "dropdown", "toggle", "button", "lamp", "bar", "value", "text" };

const Words kPanelKeys = { "title", "signals", "tab", "send" };
const Words kTabKeys = { "name", "widget" };
const Words kSendKeys = { "message", "period" };
const Words kPlaceKeys = { "type", "label", "row", "col", "span" };
const Words kAnyWidgetKey = { "signal", "ranges", "on", "off", "press", "release", "when", "colour", "min", "max" };

// The keys of a widget of a type, beside kPlaceKeys.
Words KeysOf(PanelWidgetType type)
{
    switch (type) {
    case kWidgetSlider: case kWidgetSpin: case kWidgetValue: return { "signal", "ranges" };
    case kWidgetDropdown: case kWidgetText: return { "signal" };
    case kWidgetToggle: return { "signal", "on", "off" };
    case kWidgetButton: return { "signal", "press", "release" };
    case kWidgetLamp: return { "when", "colour" };
    case kWidgetBar: return { "signal", "min", "max", "ranges" };
    }
    return {};
}

struct NamedColour { const char* name; uint32_t rgb; };
const NamedColour kColours[] = {
    { "red", 0xe02020 }, { "green", 0x20c020 }, { "blue", 0x2060e0 }, { "yellow", 0xe0c000 },
    { "orange", 0xf08000 }, { "grey", 0x808080 }, { "black", 0x000000 }, { "white", 0xffffff },
};

std::string UnknownColour(const std::string& text)
{
    return FormatText(N_("unknown colour '%s' (expected red, green, blue, yellow, orange, grey, black, white or #rrggbb)"),
                      text.c_str());
}

bool ParseColour(const std::string& text, uint32_t* rgb)
{
    for (const NamedColour& colour : kColours) {
        if (text == colour.name) {
            *rgb = colour.rgb;
            return true;
        }
    }
    if (text.size() != 7 || text[0] != '#' || strspn(text.c_str() + 1, "0123456789abcdefABCDEF") != 6)
        return false;
    *rgb = static_cast<uint32_t>(strtoul(text.c_str() + 1, nullptr, 16));
    return true;
}

class Loader {
public:
    Loader(const SignalDatabase& database, FileErrors* errors)
        : database_(database), resolver_(database, SignalCodePages{ nullptr, nullptr }), errors_(errors) {}

    void Load(const toml::table& root, Panel* panel);

private:
    bool Keys(const toml::table& table, const Words& fits, const std::string& what);
    const toml::array* Tables(const toml::table& table, const char* key, const char* shape, size_t most);

    void LoadTab(const toml::table& table, PanelTab* tab);
    bool LoadWidget(const toml::table& table, PanelWidget* widget);
    bool LoadSignal(const toml::table& table, PanelWidget* widget);
    bool LoadValue(const toml::table& table, const char* key, const PanelWidget& widget, const char* fallback,
                   std::string* value, bool* given = nullptr);
    bool LoadRanges(const toml::node& node, PanelWidget* widget);
    bool LoadLimits(const toml::table& table, PanelWidget* widget);
    void CheckPlaces(const PanelTab& tab, const std::vector<toml::source_region>& where);
    void LoadSend(const toml::table& table, std::vector<PanelSend>* sends, std::vector<int>* lines);

    const SignalDatabase& database_;
    DatabaseResolver resolver_;
    FileErrors* errors_;
    int widgets_ = 0;   // of all tabs so far
};

bool Loader::Keys(const toml::table& table, const Words& fits, const std::string& what)
{
    bool good = true;
    for (auto&& [key, value] : table) {
        const std::string word(key.str());
        if (ContainsWord(fits, word))
            continue;
        if (ContainsWord(kAnyWidgetKey, word) && ContainsWord(fits, "type")) {
            errors_->At(key.source(), FormatText(N_("key '%s' does not fit %s, which takes %s"), word.c_str(), what.c_str(),
                                                 ListWords(fits).c_str()));
            good = false;
            continue;
        }
        const std::string meant = ClosestWord(word, fits);
        errors_->At(key.source(), meant.empty() ? FormatText(N_("unknown key '%s' in %s (expected %s)"), word.c_str(), what.c_str(),
                                                             ListWords(fits).c_str())
                                                : FormatText(N_("unknown key '%s' in %s (did you mean '%s'?)"), word.c_str(),
                                                             what.c_str(), meant.c_str()));
        good = false;
    }
    return good;
}

// table's key as [[...]] tables, at most most of them; null (said) otherwise
// or when absent (not said).
const toml::array* Loader::Tables(const toml::table& table, const char* key, const char* shape, size_t most)
{
    const toml::node* node = table.get(key);
    if (node == nullptr)
        return nullptr;
    const toml::array* list = node->as_array();
    if (list == nullptr || !list->is_array_of_tables()) {
        errors_->At(node->source(), FormatText(N_("%s must be %s tables"), key, shape));
        return nullptr;
    }
    if (list->size() > most) {
        errors_->At((*list)[most].source(), FormatText(N_("more than %zu %s"), most, shape));
        return nullptr;
    }
    return list;
}

bool Loader::LoadSignal(const toml::table& table, PanelWidget* widget)
{
    const toml::node* node = table.get("signal");
    std::string name, why;
    if (node == nullptr) {
        errors_->At(table.source(), FormatText(N_("a %s needs signal"), kWidgetTypeNames[widget->type]));
        return false;
    }
    if (!ReadTomlString(errors_, *node, "signal", &name))
        return false;
    SignalRef found = database_.FindSignal(name);
    if (found.signal == nullptr) {
        uint32_t code;
        resolver_.ResolveSignal(name, &code, &why);
        errors_->At(node->source(), why);
        return false;
    }
    widget->message = found.message;
    widget->signal = found.signal;
    const Signal& signal = *found.signal;
    const bool readOnly = widget->type == kWidgetLamp || widget->type == kWidgetBar || widget->type == kWidgetValue;
    if (IsWrittenOnSend(signal) && !readOnly) {
        errors_->At(node->source(), FormatText(signal.counter ? N_("a %s sets its signal, but %s is a counter, one more on every send")
                                                              : N_("a %s sets its signal, but %s is a checksum, computed on every send"),
                                               kWidgetTypeNames[widget->type], name.c_str()) +
                                    ": " + N_("show it with a value or a bar"));
        return false;
    }
    const bool text = signal.type == kSignalStr;
    const char* needs = nullptr;
    SliderScale scale;
    switch (widget->type) {
    case kWidgetSlider:
        if (!MakeSliderScale(signal, &scale))
            needs = N_("a number with min and max, and no enum");
        break;
    case kWidgetSpin: case kWidgetBar:
        if (text || !signal.enums.empty() || signal.type == kSignalBool)
            needs = N_("a number without an enum");
        break;
    case kWidgetDropdown:
        if (signal.enums.empty())
            needs = N_("an enum");
        break;
    case kWidgetToggle:
        if (text)
            needs = N_("a number, bool or enum");
        break;
    case kWidgetText:
        if (!text)
            needs = N_("text (a string message or a str field)");
        break;
    default:
        break;
    }
    if (needs != nullptr) {
        const char* is = text ? N_("text") : !signal.enums.empty() ? N_("an enum") : signal.type == kSignalBool ? N_("a bool")
                       : signal.hasMin && signal.hasMax ? N_("a number") : N_("a number without min and max");
        errors_->At(node->source(), FormatText(N_("a %s needs %s: %s is %s"), kWidgetTypeNames[widget->type], needs,
                                               name.c_str(), is));
        return false;
    }
    return true;
}

// A value the widget sends: text, a number or true/false, checked now by the
// encoder the sends use. fallback: the default when absent (null: required).
bool Loader::LoadValue(const toml::table& table, const char* key, const PanelWidget& widget, const char* fallback,
                       std::string* value, bool* given)
{
    const toml::node* node = table.get(key);
    if (given != nullptr)
        *given = node != nullptr;
    if (node == nullptr) {
        if (fallback == nullptr) {
            errors_->At(table.source(), FormatText(N_("a %s needs %s"), kWidgetTypeNames[widget.type], key));
            return false;
        }
        *value = fallback;
    } else if (node->is_string()) {
        if (!ReadTomlString(errors_, *node, key, value))
            return false;
    } else if (node->is_integer()) {
        *value = FormatText("%lld", static_cast<long long>(node->as_integer()->get()));
    } else if (node->is_floating_point() && isfinite(node->as_floating_point()->get())) {
        *value = FormatText("%.17g", node->as_floating_point()->get());
    } else if (node->is_boolean()) {
        *value = node->as_boolean()->get() ? "true" : "false";
    } else {
        errors_->At(node->source(), FormatText(N_("%s must be a number, a name of the signal's enum, true or false, or a text"), key));
        return false;
    }
    if (widget.signal == nullptr || widget.signal->type == kSignalStr)
        return true;
    SignalRaw raw;
    std::string why;
    if (EncodeSignalText(*widget.signal, *value, &raw, &why))
        return true;
    errors_->At(node != nullptr ? node->source() : table.source(), std::string(key) + ": " + why);
    return false;
}

bool Loader::LoadRanges(const toml::node& node, PanelWidget* widget)
{
    const toml::array* list = node.as_array();
    if (list == nullptr) {
        errors_->At(node.source(), N_("ranges must be a list like [ { from = 0, to = 8, colour = \"green\" } ]"));
        return false;
    }
    bool good = true;
    for (const toml::node& item : *list) {
        const toml::table* table = item.as_table();
        if (table == nullptr) {
            errors_->At(item.source(), N_("a range must be a table like { from = 8, colour = \"red\" }"));
            good = false;
            continue;
        }
        PanelRange range;
        bool rangeGood = Keys(*table, { "from", "to", "colour" }, N_("a range"));
        if (const toml::node* from = table->get("from"))
            rangeGood = (range.hasFrom = ReadTomlNumber(errors_, *from, "from", &range.from)) && rangeGood;
        if (const toml::node* to = table->get("to"))
            rangeGood = (range.hasTo = ReadTomlNumber(errors_, *to, "to", &range.to)) && rangeGood;
        if (range.hasFrom && range.hasTo && range.to < range.from) {
            errors_->At(table->get("to")->source(), FormatText(N_("to %.15g is below from %.15g"), range.to, range.from));
            rangeGood = false;
        }
        const toml::node* colour = table->get("colour");
        std::string text;
        if (colour == nullptr) {
            errors_->At(item.source(), N_("a range needs colour"));
            rangeGood = false;
        } else if (ReadTomlString(errors_, *colour, "colour", &text) && !ParseColour(text, &range.rgb)) {
            errors_->At(colour->source(), UnknownColour(text));
            rangeGood = false;
        } else if (!colour->is_string()) {
            rangeGood = false;
        }
        if (rangeGood)
            widget->ranges.push_back(range);
        good = rangeGood && good;
    }
    return good;
}

bool Loader::LoadLimits(const toml::table& table, PanelWidget* widget)
{
    const Signal& signal = *widget->signal;
    bool hasMin = signal.hasMin, hasMax = signal.hasMax, good = true;
    widget->min = signal.min;
    widget->max = signal.max;
    if (const toml::node* min = table.get("min"))
        good = (hasMin = ReadTomlNumber(errors_, *min, "min", &widget->min)) && good;
    if (const toml::node* max = table.get("max"))
        good = (hasMax = ReadTomlNumber(errors_, *max, "max", &widget->max)) && good;
    if (!good)
        return false;
    if (!hasMin || !hasMax) {
        errors_->At(table.source(), std::string(N_("a bar needs min and max")) + ": " +
                                    FormatText(N_("%s has %s, so give them here"), signal.name.c_str(),
                                               hasMin ? N_("no max") : hasMax ? N_("no min") : N_("neither")));
        return false;
    }
    if (!(widget->max > widget->min)) {
        const toml::node* max = table.get("max");
        errors_->At(max != nullptr ? max->source() : table.source(),
                    FormatText(N_("a bar's max %.15g must be above its min %.15g"), widget->max, widget->min));
        return false;
    }
    return true;
}

bool Loader::LoadWidget(const toml::table& table, PanelWidget* widget)
{
    widget->line = static_cast<int>(table.source().begin.line);
    widget->column = static_cast<int>(table.source().begin.column);
    const toml::node* type = table.get("type");
    std::string text;
    if (type == nullptr) {
        errors_->At(table.source(), FormatText(N_("a widget needs type (%s)"),
                                               ListWords(Words(std::begin(kWidgetTypeNames), std::end(kWidgetTypeNames))).c_str()));
        return false;
    }
    if (!ReadTomlString(errors_, *type, "type", &text))
        return false;
    const Words types(std::begin(kWidgetTypeNames), std::end(kWidgetTypeNames));
    const auto known = std::find(types.begin(), types.end(), text);
    if (known == types.end()) {
        const std::string meant = ClosestWord(text, types);
        errors_->At(type->source(), meant.empty() ? FormatText(N_("unknown widget type '%s' (expected %s)"), text.c_str(),
                                                               ListWords(types).c_str())
                                                  : FormatText(N_("unknown widget type '%s' (did you mean '%s'?)"), text.c_str(),
                                                               meant.c_str()));
        return false;
    }
    widget->type = static_cast<PanelWidgetType>(known - types.begin());
    bool good = Keys(table, JoinWords(kPlaceKeys, KeysOf(widget->type)), std::string("a ") + text);

    const toml::node* row = table.get("row");
    const toml::node* col = table.get("col");
    if (row == nullptr || col == nullptr) {
        errors_->At(table.source(), N_("a widget needs row and col"));
        good = false;
    }
    if (row != nullptr)
        good = ReadTomlInteger(errors_, *row, "row", 1, kMaxPanelRows, &widget->row) && good;
    if (col != nullptr)
        good = ReadTomlInteger(errors_, *col, "col", 1, kMaxPanelColumns, &widget->col) && good;
    if (const toml::node* span = table.get("span")) {
        const int most = col != nullptr && col->is_integer() && widget->col >= 1 ? kMaxPanelColumns - widget->col + 1
                                                                                  : kMaxPanelColumns;
        good = ReadTomlInteger(errors_, *span, "span", 1, most, &widget->span) && good;
    }
    if (const toml::node* label = table.get("label"))
        good = ReadTomlString(errors_, *label, "label", &widget->label) && good;

    if (widget->type == kWidgetLamp) {
        const toml::node* when = table.get("when");
        std::string why;
        if (when == nullptr) {
            errors_->At(table.source(), N_("a lamp needs when, a condition like \"pump.status.valve eq open\""));
            good = false;
        } else if (ReadTomlString(errors_, *when, "when", &text)) {
            if (!ParsePredicate(text, &resolver_, &widget->when, &why)) {
                errors_->At(when->source(), "when: " + why);
                good = false;
            } else if (widget->label.empty()) {
                widget->label = text;
            }
        } else {
            good = false;
        }
        if (const toml::node* colour = table.get("colour")) {
            if (ReadTomlString(errors_, *colour, "colour", &text) && !ParseColour(text, &widget->rgb)) {
                errors_->At(colour->source(), UnknownColour(text));
                good = false;
            } else if (!colour->is_string()) {
                good = false;
            }
        }
        return good;
    }

    if (!LoadSignal(table, widget))
        return false;
    if (widget->label.empty())
        widget->label = widget->signal->name;
    if (widget->type == kWidgetToggle) {
        const std::string on = ToggleValue(*widget->signal, true), off = ToggleValue(*widget->signal, false);
        good = LoadValue(table, "on", *widget, on.c_str(), &widget->on) && good;
        good = LoadValue(table, "off", *widget, off.c_str(), &widget->off) && good;
    } else if (widget->type == kWidgetButton) {
        good = LoadValue(table, "press", *widget, nullptr, &widget->press) && good;
        if (table.get("release") != nullptr)
            good = LoadValue(table, "release", *widget, nullptr, &widget->release, &widget->hasRelease) && good;
    } else if (widget->type == kWidgetBar) {
        good = LoadLimits(table, widget) && good;
    }
    if (const toml::node* ranges = table.get("ranges"))
        good = LoadRanges(*ranges, widget) && good;
    return good;
}

// No two widgets of a tab share a cell.
void Loader::CheckPlaces(const PanelTab& tab, const std::vector<toml::source_region>& where)
{
    for (size_t b = 1; b < tab.widgets.size(); ++b) {
        const PanelWidget& later = tab.widgets[b];
        for (size_t a = 0; a < b; ++a) {
            const PanelWidget& earlier = tab.widgets[a];
            if (earlier.row == later.row && earlier.col < later.col + later.span && later.col < earlier.col + earlier.span) {
                errors_->At(where[b], FormatText(N_("this widget takes row %d, col %d, which the widget at line %d takes too"),
                                                 later.row, std::max(earlier.col, later.col), earlier.line));
                break;
            }
        }
    }
}

void Loader::LoadTab(const toml::table& table, PanelTab* tab)
{
    Keys(table, kTabKeys, N_("a tab"));
    const toml::node* name = table.get("name");
    if (name == nullptr)
        errors_->At(table.source(), N_("a tab needs name"));
    else
        ReadTomlString(errors_, *name, "name", &tab->name);
    const toml::array* widgets = Tables(table, "widget", "[[panel.tab.widget]]", SIZE_MAX);
    if (widgets == nullptr)
        return;
    std::vector<toml::source_region> where;
    for (const toml::node& node : *widgets) {
        if (++widgets_ > kMaxPanelWidgets) {
            errors_->At(node.source(), FormatText(N_("more than %d widgets in the panel"), kMaxPanelWidgets));
            break;
        }
        PanelWidget widget;
        if (!LoadWidget(*node.as_table(), &widget))
            continue;
        tab->rows = std::max(tab->rows, widget.row);
        tab->columns = std::max(tab->columns, widget.col + widget.span - 1);
        tab->widgets.push_back(std::move(widget));
        where.push_back(node.source());
    }
    CheckPlaces(*tab, where);
}

void Loader::LoadSend(const toml::table& table, std::vector<PanelSend>* sends, std::vector<int>* lines)
{
    bool good = Keys(table, kSendKeys, N_("a send"));
    const toml::node* name = table.get("message");
    std::string text, why;
    PanelSend send;
    if (name == nullptr) {
        errors_->At(table.source(), N_("a send needs message"));
        return;
    }
    if (!ReadTomlString(errors_, *name, "message", &text))
        return;
    send.message = database_.FindMessage(text);
    if (send.message == nullptr) {
        std::vector<std::string> names;
        for (const SignalMessage& message : database_.Messages())
            names.push_back(message.name);
        const std::string meant = ClosestWord(text, names);
        errors_->At(name->source(), meant.empty() ? FormatText(N_("no message '%s' in the signal file"), text.c_str())
                                                  : FormatText(N_("no message '%s' in the signal file (did you mean '%s'?)"),
                                                               text.c_str(), meant.c_str()));
        return;
    }
    send.periodMicros = send.message->periodMicros;
    if (const toml::node* period = table.get("period")) {
        if (!ReadTomlString(errors_, *period, "period", &text) || !ParseDuration(text, &send.periodMicros, &why) || send.periodMicros == 0) {
            errors_->At(period->source(), std::string(N_("bad period")) + ": " +
                                          (period->is_string() && !why.empty() ? why : N_("expected a duration like \"100ms\" above 0")));
            return;
        }
    } else if (send.periodMicros == 0) {
        errors_->At(table.source(), FormatText(N_("%s has no period in the signal file: give period"), send.message->name.c_str()));
        return;
    }
    for (size_t i = 0; i < sends->size(); ++i) {
        if ((*sends)[i].message == send.message) {
            errors_->At(name->source(), FormatText(N_("%s is sent already (line %d)"), send.message->name.c_str(), (*lines)[i]));
            return;
        }
    }
    if (good) {
        sends->push_back(send);
        lines->push_back(static_cast<int>(table.source().begin.line));
    }
}

void Loader::Load(const toml::table& root, Panel* panel)
{
    Keys(root, { "panel" }, N_("the file"));
    const toml::node* node = root.get("panel");
    const toml::table* table = node != nullptr ? node->as_table() : nullptr;
    if (table == nullptr) {
        if (node != nullptr)
            errors_->At(node->source(), N_("panel must be a table: [panel]"));
        else if (!errors_->Any())
            errors_->File(N_("no [panel] in the file"));
        return;
    }
    Keys(*table, kPanelKeys, "[panel]");
    std::string file;
    if (const toml::node* signals = table->get("signals")) {
        if (ReadTomlString(errors_, *signals, "signals", &file) && file.empty())
            errors_->At(signals->source(), N_("signals must be the signal file's name in quotes"));
    }
    if (const toml::node* title = table->get("title"))
        ReadTomlString(errors_, *title, "title", &panel->title);
    if (table->get("tab") == nullptr)
        errors_->At(table->source(), N_("the panel needs a [[panel.tab]] of widgets"));
    if (const toml::array* tabs = Tables(*table, "tab", "[[panel.tab]]", kMaxPanelTabs)) {
        for (const toml::node& tab : *tabs) {
            panel->tabs.emplace_back();
            LoadTab(*tab.as_table(), &panel->tabs.back());
        }
    }
    std::vector<int> lines;
    if (const toml::array* sends = Tables(*table, "send", "[[panel.send]]", kMaxPanelSends)) {
        for (const toml::node& send : *sends)
            LoadSend(*send.as_table(), &panel->sends, &lines);
    }
}

bool Parse(const std::string& text, const std::string& fileName, toml::table* root, FileErrors* errors)
{
    TomlProblem problem;
    if (text.size() > static_cast<size_t>(kMaxPanelFileBytes)) {
        problem.what = FormatText(N_("over %d bytes, the most a panel file may hold"), kMaxPanelFileBytes);
        errors->Toml(problem);
        return false;
    }
    if (ParseTomlText(text, fileName, root, &problem))
        return true;
    errors->Toml(problem);
    return false;
}

} // namespace

const char* PanelWidgetTypeName(PanelWidgetType type)
{
    return kWidgetTypeNames[type];
}

bool ReadPanelSignalsKey(const std::string& text, const std::string& fileName, std::string* signalsFile,
                         std::vector<std::string>* errors)
{
    errors->clear();
    signalsFile->clear();
    FileErrors found(fileName, kMaxPanelErrors, errors);
    try {
        toml::table root;
        if (Parse(text, fileName, &root, &found)) {
            const toml::node* node = root.at_path("panel.signals").node();
            if (node != nullptr && (!node->is_string() || node->as_string()->get().empty() ||
                                    HasControlCharacter(node->as_string()->get())))
                found.At(node->source(), N_("signals must be the signal file's name in quotes"));
            else if (node != nullptr)
                *signalsFile = node->as_string()->get();
        }
    } catch (const std::exception& e) {
        found.File(std::string(N_("could not be read")) + ": " + e.what());
    }
    found.Finish();
    return errors->empty();
}

bool LoadPanelFile(const std::string& text, const std::string& fileName, const SignalDatabase& database,
                   Panel* panel, std::vector<std::string>* errors)
{
    errors->clear();
    FileErrors found(fileName, kMaxPanelErrors, errors);
    try {
        toml::table root;
        Panel loaded;
        if (Parse(text, fileName, &root, &found))
            Loader(database, &found).Load(root, &loaded);
        if (!found.Any()) {
            *panel = std::move(loaded);
            return true;
        }
    } catch (const std::exception& e) {
        errors->clear();
        errors->push_back(fileName + ": " + N_("could not be read") + ": " + e.what());
        return false;
    }
    found.Finish();
    return false;
}
