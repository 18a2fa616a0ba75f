"""The binding's C declarations against the C compiler's view of the headers."""

import pytest

import tavrel
from tavrel import native


def test_records_match_the_headers(layout):
    sizes = {name: size for (kind, name), size in layout.items() if kind == "size"}
    offsets = {name: at for (kind, name), at in layout.items() if kind == "offset"}
    assert len(sizes) >= 9 and len(offsets) >= 60
    for record, size in sizes.items():
        assert native.ffi.sizeof(record) == size, record
    for member, at in offsets.items():
        record, field = member.split(".")
        assert native.ffi.offsetof(record, field) == at, member


def test_constants_match_the_headers(layout):
    constants = {name: value for (kind, name), value in layout.items() if kind == "const"}
    assert constants
    for name, value in constants.items():
        assert getattr(native.kit, name) == value, name


def test_a_record_of_the_wrong_size_refuses_the_import(monkeypatch):
    monkeypatch.setitem(native.RECORD_SIZES, "ST_HostFedColC", 36)
    with pytest.raises(ImportError, match="ST_HostFedColC is 40 bytes here; the library needs 36"):
        native._check_record_sizes()


def test_the_package_has_the_version_of_the_libraries_it_loads():
    assert tavrel.__version__ == tavrel.kit_version()
