"""``pip install ./python`` into a virtual environment, offline, and use from anywhere."""

import os
import shutil
import subprocess
import sys
from pathlib import Path

from conftest import SOURCE


def test_pip_installs_the_package_and_the_system_loader_finds_the_libraries(tmp_path):
    # pip builds in the source folder: install from a copy.
    source = tmp_path / "python"
    leftovers = shutil.ignore_patterns("build", "*.egg-info", "__pycache__")
    shutil.copytree(SOURCE / "python", source, ignore=leftovers)
    env_dir = tmp_path / "venv"
    subprocess.run(
        [sys.executable, "-m", "venv", "--system-site-packages", str(env_dir)], check=True
    )
    python = env_dir / "bin" / "python"
    # Offline: no index, and no look for a newer pip either.
    offline = dict(os.environ, PIP_DISABLE_PIP_VERSION_CHECK="1")
    subprocess.run([str(python), "-m", "pip", "install", "--no-build-isolation", "--no-index",
                    "--quiet", str(source)], check=True, env=offline)

    # As an installed library would be found: by the system loader.
    variables = ("TAVREL_LIBRARY", "TAVREL_HOSTKIT_LIBRARY")
    environment = {k: v for k, v in os.environ.items() if k not in variables + ("PYTHONPATH",)}
    libraries = {str(Path(os.environ[name]).parent) for name in variables}
    environment["LD_LIBRARY_PATH"] = os.pathsep.join(sorted(libraries))
    check = "import tavrel; print(tavrel.__file__); print(sorted(tavrel.geometry(0, 0).targets))"
    done = subprocess.run([str(python), "-c", check], cwd=tmp_path, env=environment,
                          capture_output=True, text=True, check=True)
    location, targets = done.stdout.splitlines()
    assert Path(location).is_relative_to(env_dir)
    assert targets == "[<Area.XHI_YMID: 5>, <Area.XHI_YLO: 6>, <Area.XHI_YHI: 7>]"
