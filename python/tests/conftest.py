"""The unit tests read the package's English texts whatever the shell's
locale: the test command runs them on a Chinese system (code page 936), where
every text is Chinese first. A test of the Chinese sets VELK_LANG itself."""
import pytest


@pytest.fixture(autouse=True)
def english_texts(monkeypatch):
    monkeypatch.setenv("VELK_LANG", "en")
