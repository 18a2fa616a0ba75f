"""The package's own build backend: a pure-Python wheel and sdist, with no download.

pip runs it from the source tree (``backend-path`` in pyproject.toml), so a
build needs neither setuptools nor wheel, nor a package index. The metadata
comes from pyproject.toml's [project] table and the version from
tavrel/_version.py; the wheel is a zip file of the package with METADATA,
WHEEL and RECORD, the sdist a tarball of the tree.
"""

from __future__ import annotations

import base64
import hashlib
import io
import re
import tarfile
import tomllib
import zipfile
from pathlib import Path
from typing import Any, Dict, List, Optional, Tuple

SOURCE = Path(__file__).resolve().parents[1]
PACKAGE = "tavrel"
# Fixed file times make the same tree give the same bytes.
ZIP_TIME = (1980, 1, 1, 0, 0, 0)
SDIST_FILES = ("pyproject.toml", "README.md", "backend/tavrel_backend.py")
WHEEL = (
    "Wheel-Version: 1.0",
    "Generator: tavrel_backend",
    "Root-Is-Purelib: true",
    "Tag: py3-none-any",
)


def _project() -> Dict[str, Any]:
    with open(SOURCE / "pyproject.toml", "rb") as file:
        return tomllib.load(file)["project"]


def _version() -> str:
    text = (SOURCE / PACKAGE / "_version.py").read_text(encoding="utf-8")
    found = re.search(r'^__version__ = "([^"]+)"$', text, re.MULTILINE)
    if found is None:
        raise RuntimeError(f"no __version__ in {PACKAGE}/_version.py")
    return found.group(1)


def metadata() -> str:
    """The core metadata (METADATA in the wheel, PKG-INFO in the sdist)."""
    project = _project()
    lines = [
        "Metadata-Version: 2.1",
        f"Name: {project['name']}",
        f"Version: {_version()}",
        f"Summary: {project['description']}",
        f"License: {project['license']['text']}",
        f"Requires-Python: {project['requires-python']}",
        *(f"Requires-Dist: {dependency}" for dependency in project["dependencies"]),
        "Description-Content-Type: text/markdown",
    ]
    readme = (SOURCE / str(project["readme"])).read_text(encoding="utf-8")
    return "\n".join(lines) + "\n\n" + readme


def _package_entries() -> List[Tuple[str, bytes]]:
    """The package's files as (name in the archive, bytes), no byte code."""
    paths = sorted((SOURCE / PACKAGE).rglob("*"))
    kept = [p for p in paths if p.is_file() and "__pycache__" not in p.parts and p.suffix != ".pyc"]
    return [(path.relative_to(SOURCE).as_posix(), path.read_bytes()) for path in kept]


def _record_line(name: str, data: bytes) -> str:
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


def _wheel_entries() -> List[Tuple[str, bytes]]:
    """Every file of the wheel as (name, bytes), RECORD last."""
    dist_info = f"{PACKAGE}-{_version()}.dist-info"
    wheel = "".join(f"{line}\n" for line in WHEEL)
    entries = _package_entries() + [
        (f"{dist_info}/METADATA", metadata().encode("utf-8")),
        (f"{dist_info}/WHEEL", wheel.encode("utf-8")),
    ]
    record = [_record_line(name, data) for name, data in entries] + [f"{dist_info}/RECORD,,"]
    entries.append((f"{dist_info}/RECORD", ("\n".join(record) + "\n").encode("utf-8")))
    return entries


def build_wheel(
    wheel_directory: str,
    config_settings: Optional[Dict[str, object]] = None,
    metadata_directory: Optional[str] = None,
) -> str:
    """PEP 517: writes the wheel into ``wheel_directory``; returns its file name."""
    name = f"{PACKAGE}-{_version()}-py3-none-any.whl"
    with zipfile.ZipFile(Path(wheel_directory) / name, "w", zipfile.ZIP_DEFLATED) as wheel:
        for entry, data in _wheel_entries():
            info = zipfile.ZipInfo(entry, ZIP_TIME)
            info.external_attr = 0o644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(info, data)
    return name


def build_sdist(sdist_directory: str, config_settings: Optional[Dict[str, object]] = None) -> str:
    """PEP 517: writes the source archive into ``sdist_directory``; returns its file name."""
    root = f"{PACKAGE}-{_version()}"
    files = [(name, (SOURCE / name).read_bytes()) for name in SDIST_FILES]
    files += _package_entries() + [("PKG-INFO", metadata().encode("utf-8"))]
    name = f"{root}.tar.gz"
    with tarfile.open(Path(sdist_directory) / name, "w:gz", format=tarfile.PAX_FORMAT) as sdist:
        for entry, data in files:
            info = tarfile.TarInfo(f"{root}/{entry}")
            info.size, info.mode = len(data), 0o644
            sdist.addfile(info, io.BytesIO(data))
    return name


def get_requires_for_build_wheel(config_settings: Optional[Dict[str, object]] = None) -> List[str]:
    """PEP 517: nothing to install before a build."""
    return []


def get_requires_for_build_sdist(config_settings: Optional[Dict[str, object]] = None) -> List[str]:
    """PEP 517: nothing to install before a build."""
    return []
