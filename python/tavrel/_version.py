"""The binding's version, the same as the library's it binds."""

__version__ = "1.3.0"
