# Offline builds with Debian's python3-setuptools and python3-wheel:
#   /usr/bin/python3 -m pip wheel --no-deps --no-build-isolation --no-index -w dist python
from setuptools import setup

setup()
