#include "velkpanel/PanelSender.h"

#include "client/ProgramMessages.h"
#include "client/ReceiveLoop.h"
#include "formats/Duration.h"
#include "formats/Schedule.h"
#include "signals/SignalText.h"
#include "velk/VelkResults.h"
#include "windows/Clock.h"
#include "windows/WideText.h"

PanelSender::PanelSender(const BusBinding& bus, uint64_t startTicks, PanelCounts* counts, PanelStatus* status)
    : bus_(bus), startTicks_(startTicks), counts_(counts), status_(status)
{
}

uint64_t PanelSender::Now() const
{
    return ClockMicrosSince(startTicks_);
}

void PanelSender::Attach(HWND window, PanelTicker* ticker)
{
    window_ = window;
    ticker_ = ticker;
}

void PanelSender::SetModel(PanelModel* model, const Panel* panel)
{
    model_ = model;
    panel_ = panel;
    counts_->lateCyclic = 0;
}

void PanelSender::StartSends()
{
    if (model_ == nullptr || ticker_ == nullptr)
        return;
    for (const PanelSend& send : panel_->sends)
        model_->Cyclic().Start(static_cast<size_t>(model_->GroupOf(send.message)), send.periodMicros, Now());
    ScheduleTick();
}

bool PanelSender::Set(size_t group, const Signal& signal, const std::string& text)
{
    std::string error;
    if (model_->Group(group).SetText(signal, text, &error))
        return true;
    status_->SetNote(L"拒绝发送 refused: " + LocalizedReason(error));
    return false;
}

bool PanelSender::SetPhysical(size_t group, const Signal& signal, double physical)
{
    std::string error;
    if (model_->Group(group).SetPhysical(signal, physical, &error))
        return true;
    status_->SetNote(L"拒绝发送 refused: " + LocalizedReason(error));
    return false;
}

bool PanelSender::Send(size_t group)
{
    return Post(group, true);
}

bool PanelSender::Post(size_t group, bool say)
{
    PanelGroup& sent = model_->Group(group);
    const int result = PostRecordedMessage(bus_, window_, sent.Outgoing());
    if (result < 0) {
        status_->SetNote(L"总线拒绝 the bus refused " + WideFromUtf8(sent.Message().name + ": ") + LocalizedReason(VelkResultText(result)));
        return false;
    }
    ++counts_->sent;
    if (say)
        status_->SetNote(L"已发送 sent " + WideFromUtf8(FormatSignalsLine(sent.Sending())));
    sent.Sent();   // the counter moves on only for what went out
    return true;
}

bool PanelSender::SetCyclic(size_t group, bool on, const std::string& period)
{
    CyclicSchedule& cyclic = model_->Cyclic();
    if (!on) {
        cyclic.Stop(group);
        ScheduleTick();
        status_->SetNote(L"周期发送停止 cyclic off: " + WideFromUtf8(model_->Group(group).Message().name));
        return true;
    }
    uint64_t micros = 0;
    std::string error;
    if (period.empty()) {
        status_->SetNote(L"没有周期, 请在周期框中填写 no period: type one in the box, like 100ms");
        return false;
    }
    if (!ParseDurationOption(period, "period", true, &micros, &error)) {
        status_->SetNote(L"周期有误 " + LocalizedReason(error));
        return false;
    }
    cyclic.Start(group, micros, Now());
    ScheduleTick();
    status_->SetNote(L"周期发送 cyclic: " + WideFromUtf8(model_->Group(group).Message().name + " every " + period));
    return true;
}

void PanelSender::SendDue()
{
    if (model_ == nullptr)
        return;
    std::vector<size_t> due;
    model_->Cyclic().TakeDue(Now(), &due);
    for (size_t group : due)
        Post(group, false);
    counts_->lateCyclic = model_->Cyclic().Missed();
    ScheduleTick();
}

void PanelSender::ScheduleTick()
{
    if (ticker_ == nullptr || model_ == nullptr)
        return;
    const uint64_t next = model_->Cyclic().NextDeadline();
    ticker_->SetDeadline(next == CyclicSchedule::kNever ? UINT64_MAX
                                                        : startTicks_ + MicrosToTicks(next, ClockTicksPerSecond()));
}
