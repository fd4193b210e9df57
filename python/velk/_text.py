"""The package's messages in the user's language, as velkctl's are: Simplified
Chinese first, then the English, on a Chinese system or with VELK_LANG=zh;
English only with VELK_LANG=en. The English format is the key."""

import locale
import os
import sys

_CHINESE = {
    'the node is not started': '节点尚未启动',
    '%s raised, and the node goes on:': '%s 引发了异常，节点继续运行：',
    '%s makes no velk.Node': '%s 没有创建 velk.Node',
    'handlers raised %d time(s)': '处理函数共引发异常 %d 次',
    "%s takes seconds or a duration like '100ms', '2.5s' or '3m' (units us, ms, s, m, h), not %r":
        "%s 应为秒数或类似 '100ms'、'2.5s'、'3m' 的时长（单位 us、ms、s、m、h），而不是 %r",
    "%s is at most 100 days, not %r": "%s 最多为 100 天，而不是 %r",
    "%s must be more than 0, not %r": "%s 必须大于 0，而不是 %r",
    "%s must not be negative, not %r": "%s 不能为负数，而不是 %r",
    "%s names %s, which is not a program here": "%s 指定的 %s 在这里不是可运行的程序",
    "a Windows program needs Wine here, and none of %s runs (VELK_WINE names the loader)":
        "在这里运行 Windows 程序需要 Wine，但 %s 都无法运行（可用 VELK_WINE 指定加载器）",
    "a channel is 0-255, not %r": "通道为 0-255，而不是 %r",
    "a code is an int from 0 to 0xffffffff, not %r": "代码是 0 到 0xffffffff 的整数，而不是 %r",
    "a code's value is an int, not %r": "代码的值是整数，而不是 %r",
    "a mask goes with a code, not with signal %r": "掩码只能与代码一起用，不能与信号 %r 一起用",
    "a predicate compares with a number, an enum name or a text, not %r": "条件只能与数字、枚举名或文字比较，而不是 %r",
    "a replay's speed is a number, not %r": "回放速度是数字，而不是 %r",
    "a signal takes a number or an enum name, not %r": "信号要用数字或枚举名，而不是 %r",
    "cannot compare with %r": "无法与 %r 比较",
    "cannot start %s: %s": "无法启动 %s：%s",
    "expect takes one of eq ne lt le gt ge changed contains, or none, not %d":
        "expect 只能用 eq ne lt le gt ge changed contains 之一，或都不用，而不是 %d 个",
    "no message with %s within %gs: %d of those codes came, the last %s":
        "%gs 内没有满足 %s 的消息：这些代码来了 %d 条，最后一条为 %s",
    "no message with %s within %gs: none of those codes came at all": "%gs 内没有满足 %s 的消息：这些代码一条也没有来",
    "rate of %s was %.3f Hz (%d messages in %gs), expected %g Hz +- %g%%":
        "%s 的速率为 %.3f Hz（%gs 内 %d 条消息），应为 %g Hz ± %g%%",
    "the bus is not open (use it in a with block)": "总线没有打开（请在 with 块中使用）",
    "variables are 0-%d, not %r": "变量编号为 0-%d，而不是 %r",
    "velkctl not found at %s": "在 %s 找不到 velkctl",
    "velkctl not found: no velkctl= (pytest: --velkctl), VELKCTL is not set, no velkctl on PATH, and %s is not "
    "there (the Windows wheel of a release zip carries it)":
        "找不到 velkctl：没有给出 velkctl=（pytest：--velkctl），没有设置 VELKCTL，PATH 中没有 velkctl，"
        "%s 也不存在（发布压缩包中的 Windows wheel 带有它）",
    "velkctl session did not answer request %d in %gs": "velkctl session 在 %gs 内没有回答请求 %d",
    "velkctl session did not answer within %gs of starting (velk.Bus(start_timeout=) gives it longer)":
        "velkctl session 启动后 %gs 内没有回答（velk.Bus(start_timeout=) 可以给它更长时间）",
    "velkctl cannot read the recording %s (exit status %d): %s": "velkctl 无法读取记录 %s（退出状态 %d）：%s",
    "velkctl session ended": "velkctl session 已结束",
    "velkctl session ended (exit status %d)": "velkctl session 已结束（退出状态 %d）",
    "the handlers are behind: the oldest waiting messages are dropped (%d wait at most)":
        "处理函数跟不上：丢弃了最早等待的消息（最多等待 %d 条）",
    "%d messages dropped: the handlers were too slow": "丢弃了 %d 条消息：处理函数太慢",
    "--velk-report %s: there is no folder %s": "--velk-report %s：文件夹 %s 不存在",
    "cannot write the HTML report %s: %s": "无法写入 HTML 报告 %s：%s",
}

# Where Chinese puts the arguments in another order: the English's index of each.
_ORDER = {
    "no message with %s within %gs: %d of those codes came, the last %s": (1, 0, 2, 3),
    "no message with %s within %gs: none of those codes came at all": (1, 0),
    "rate of %s was %.3f Hz (%d messages in %gs), expected %g Hz +- %g%%": (0, 1, 3, 2, 4, 5),
    "velkctl session did not answer request %d in %gs": (1, 0),
}


def _windows_code_page():
    try:
        import ctypes
        return ctypes.windll.kernel32.GetACP()
    except (ImportError, AttributeError, OSError):
        return None


def chinese_first():
    """VELK_LANG=zh or en decides; else the system code page (936: Chinese),
    off Windows the locale (zh_CN)."""
    chosen = os.environ.get("VELK_LANG")
    if chosen in ("zh", "en"):
        return chosen == "zh"
    if sys.platform == "win32":
        return _windows_code_page() == 936
    name = os.environ.get("LC_ALL") or os.environ.get("LC_MESSAGES") or os.environ.get("LANG") or ""
    if not name:
        name = locale.getlocale()[0] or ""
    return name.startswith("zh_CN")


def say(english, *arguments):
    """The message of english % arguments: its Chinese, a line end and the
    English, or the English alone."""
    text = english % arguments if arguments else english
    if english not in _CHINESE or not chinese_first():
        return text
    order = _ORDER.get(english, range(len(arguments)))
    return (_CHINESE[english] % tuple(arguments[i] for i in order)) + "\n" + text
