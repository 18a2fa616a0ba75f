"""``pip install ./python`` into fresh virtual environments, offline, and use from anywhere;
the package's own build backend and what it writes."""

import base64
import csv
import hashlib
import io
import os
import shutil
import subprocess
import sys
import tarfile
import zipfile
from pathlib import Path

import pytest

from conftest import SOURCE

PYENV_PYTHON = Path("/root/.pyenv/versions/3.11.7/bin/python3")

# Interpreters and pip options, each with and without pip's build isolation:
# Debian's python3, and one that is not Debian's (it has setuptools, no wheel).
INSTALLS = [
    pytest.param(Path(sys.executable), ["--no-build-isolation"], id="this-python-no-isolation"),
    pytest.param(Path(sys.executable), [], id="this-python"),
    pytest.param(PYENV_PYTHON, [], id="pyenv-3.11.7"),
    pytest.param(PYENV_PYTHON, ["--no-build-isolation"], id="pyenv-3.11.7-no-isolation"),
]

# Imports the installed package and runs a short session on the simulated feeder.
CHECK = """
import tavrel
feeder = tavrel.SimFeeder(0)
with tavrel.Session(0, 0, feeder.camera, feeder.vibrate, max_steps=5) as session:
    last = session.run()
print(tavrel.__file__)
print(last.outcome.name, last.step)
"""


def copy_of_the_package(tmp_path):
    """pip builds in the source folder: install from a copy."""
    source = tmp_path / "python"
    leftovers = shutil.ignore_patterns("build", "*.egg-info", "__pycache__")
    shutil.copytree(SOURCE / "python", source, ignore=leftovers)
    return source


@pytest.mark.parametrize("python,options", INSTALLS)
def test_pip_installs_offline_and_the_system_loader_finds_the_libraries(tmp_path, python, options):
    if not python.is_file():
        pytest.skip(f"{python} is not installed")
    source = copy_of_the_package(tmp_path)
    env_dir = tmp_path / "venv"
    subprocess.run([str(python), "-m", "venv", "--system-site-packages", str(env_dir)], check=True)
    venv_python = env_dir / "bin" / "python"
    # Offline and on its own: no index, no folder of wheels, no pip configuration, and no
    # look for a newer pip either.
    offline = {k: v for k, v in os.environ.items() if not k.startswith("PIP_")}
    offline.update(PIP_CONFIG_FILE=os.devnull, PIP_DISABLE_PIP_VERSION_CHECK="1")
    install = [str(venv_python), "-m", "pip", "install", "--no-index", *options, str(source)]
    done = subprocess.run(install, env=offline, capture_output=True, text=True)
    assert done.returncode == 0, done.stdout + done.stderr

    # As an installed library would be found: by the system loader.
    variables = ("TAVREL_LIBRARY", "TAVREL_HOSTKIT_LIBRARY")
    environment = {k: v for k, v in os.environ.items() if k not in variables + ("PYTHONPATH",)}
    libraries = {str(Path(os.environ[name]).parent) for name in variables}
    environment["LD_LIBRARY_PATH"] = os.pathsep.join(sorted(libraries))
    done = subprocess.run([str(venv_python), "-c", CHECK], cwd=tmp_path, env=environment,
                          capture_output=True, text=True, check=True)
    location, result = done.stdout.splitlines()
    assert Path(location).is_relative_to(env_dir)
    assert result == "BUDGET 4"


def backend():
    """The package's build backend, imported as pip imports it."""
    sys.path.insert(0, str(SOURCE / "python" / "backend"))
    try:
        import tavrel_backend
    finally:
        sys.path.pop(0)
    return tavrel_backend


def record_hash(data):
    return "sha256=" + base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()


def test_the_wheel_holds_the_package_its_metadata_and_a_true_record(tmp_path):
    import tavrel

    name = backend().build_wheel(str(tmp_path))
    assert name == f"tavrel-{tavrel.__version__}-py3-none-any.whl"
    dist_info = f"tavrel-{tavrel.__version__}.dist-info"
    with zipfile.ZipFile(tmp_path / name) as wheel:
        files = {entry: wheel.read(entry) for entry in wheel.namelist()}
    package = {p.relative_to(SOURCE / "python").as_posix() for p in
               (SOURCE / "python" / "tavrel").glob("*") if p.is_file() and p.suffix != ".pyc"}
    assert "tavrel/py.typed" in package
    assert set(files) == package | {f"{dist_info}/{n}" for n in ("METADATA", "WHEEL", "RECORD")}
    record = list(csv.reader(io.StringIO(files[f"{dist_info}/RECORD"].decode())))
    assert sorted(row[0] for row in record) == sorted(files)
    for path, digest, size in record:
        if path.endswith("RECORD"):
            assert (digest, size) == ("", "")
        else:
            assert (digest, int(size)) == (record_hash(files[path]), len(files[path])), path
    metadata = files[f"{dist_info}/METADATA"].decode().split("\n\n")[0].splitlines()
    for line in ("Metadata-Version: 2.1", "Name: tavrel", f"Version: {tavrel.__version__}",
                 "Requires-Python: >=3.11", "Requires-Dist: cffi>=1.15", "License: MIT"):
        assert line in metadata
    assert "Root-Is-Purelib: true" in files[f"{dist_info}/WHEEL"].decode()


def test_the_sdist_builds_the_same_wheel(tmp_path):
    name = backend().build_sdist(str(tmp_path))
    with tarfile.open(tmp_path / name) as sdist:
        sdist.extractall(tmp_path / "unpacked")
    root = tmp_path / "unpacked" / name.removesuffix(".tar.gz")
    assert (root / "PKG-INFO").is_file()
    from_tree = zipfile.ZipFile(tmp_path / backend().build_wheel(str(tmp_path)))
    out = tmp_path / "from-sdist"
    out.mkdir()
    build = ("import sys; sys.path.insert(0, 'backend'); import tavrel_backend; "
             f"print(tavrel_backend.build_wheel({str(out)!r}))")
    wheel = subprocess.run([sys.executable, "-c", build], cwd=root, check=True,
                           capture_output=True, text=True).stdout.strip()
    from_sdist = zipfile.ZipFile(out / wheel)
    assert from_sdist.namelist() == from_tree.namelist()
    assert all(from_sdist.read(n) == from_tree.read(n) for n in from_tree.namelist())
