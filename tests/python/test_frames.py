"""Frames in from Python: numpy frames lent in place, rendering, calibration,
orientation, the locator's verdicts, settling, sources and bad input."""

import subprocess

import numpy as np
import pytest
from conftest import built

import tavrel
from tavrel import frames as F

MODEL = 0
CENTRE = F.Part(95.0, 77.5, 20.0)


def rendered(*parts, **settings):
    return F.Scene(MODEL, parts=parts, **settings).render()


@pytest.fixture(scope="module")
def calibration():
    with F.Calibration.find(MODEL, rendered()) as cal:
        yield cal


@pytest.fixture()
def locator(calibration):
    with F.Locator(calibration) as found:
        found.learn(rendered(CENTRE))
        yield found


def flat(corners):
    return [v for corner in corners for v in corner]


def address(array):
    return array.__array_interface__["data"][0]


def inside(big):
    """A 480 x 640 view of the middle of a larger array: rows wider than the frame."""
    return big[40:520, 30:670]


LENT_IN_PLACE = {
    "contiguous": lambda frame: frame,
    "a view of a larger image": lambda frame: inside(np.pad(frame, ((40, 40), (30, 30)))),
    "read-only": lambda frame: np.frombuffer(frame.tobytes(), np.uint8).reshape(frame.shape),
}


@pytest.mark.parametrize("layout", LENT_IN_PLACE)
def test_frames_are_lent_in_place_and_read_as_their_contents(layout, locator):
    frame = rendered(CENTRE)
    given = LENT_IN_PLACE[layout](frame)
    lent = F._Lent(given, "locate")
    assert int(F.ffi.cast("uintptr_t", lent.frame.data)) == address(given)
    assert lent.frame.stride == given.strides[0]
    assert locator.locate(given) == locator.locate(frame)


REFUSED = {
    "columns skipped": (lambda f: f[:, ::2], F.FrameLayoutError, "strides"),
    "transposed": (lambda f: f.T, F.FrameLayoutError, "strides"),
    "rows backwards": (lambda f: f[::-1], F.FrameLayoutError, "strides"),
    "16-bit": (lambda f: f.astype(np.uint16), F.FrameLayoutError, "uint8"),
    "colour": (lambda f: np.stack([f, f, f], axis=2), F.FrameLayoutError, "2-D"),
    "empty": (lambda f: f[:0], F.FrameLayoutError, "empty"),
    "a list": (lambda f: f.tolist(), TypeError, "numpy array"),
    "another size": (lambda f: f[:400, :600], F.CalibrationFitError, "640x480"),
}


@pytest.mark.parametrize("case", REFUSED)
def test_frames_that_cannot_be_lent_or_do_not_fit_are_refused(case, locator):
    make, error, words = REFUSED[case]
    with pytest.raises(error, match=words):
        locator.locate(make(rendered(CENTRE)))
    assert locator.locate(rendered(CENTRE)).verdict == F.Verdict.ONE


def test_render_writes_into_the_array_given_and_nothing_around_it():
    scene = F.Scene(MODEL, parts=[CENTRE], noise=3.0)
    big = np.full((560, 700), 7, np.uint8)
    view = inside(big)
    assert scene.render(view) is view
    assert np.array_equal(view, scene.render())
    big[40:520, 30:670] = 7
    assert (big == 7).all()
    with pytest.raises(F.FrameFormatError):
        scene.render(np.empty((480, 600), np.uint8))
    with pytest.raises(F.FrameLayoutError, match="read-only"):
        scene.render(np.frombuffer(bytes(640 * 480), np.uint8).reshape(480, 640))
    with pytest.raises(TypeError, match="no setting"):
        F.Scene(MODEL, glare=1.0)
    with pytest.raises(F.FramesArgumentError, match="tilt"):
        F.Scene(MODEL, tilt=0.9).render()


def test_calibration_finds_the_corners_and_keeps_them_through_a_file(tmp_path):
    scene = F.Scene(MODEL, tilt=0.2, roll_deg=3.0)
    with F.Calibration.find(MODEL, scene.render()) as cal:
        truth = np.array(scene.corners())
        assert np.abs(np.array(cal.corners) - truth).max() < 0.1
        assert (cal.model, cal.frame_size, cal.orientation) == (MODEL, (640, 480), 0)
        x, y = cal.to_platform(*cal.to_image(40.0, 30.0))
        assert (x, y) == pytest.approx((40.0, 30.0), abs=1e-9)
        cal.orientation = 5
        for name in ("cal.yml", "cal.json"):
            cal.save(tmp_path / name)
            with F.Calibration.load(tmp_path / name) as again:
                assert flat(again.corners) == pytest.approx(flat(cal.corners), abs=1e-9)
                assert again.orientation == 5
        with pytest.raises(F.FramesArgumentError):
            cal.orientation = 8
        assert cal.orientation == 5
    with F.Calibration.from_corners(MODEL, 640, 480, scene.corners()) as given:
        assert flat(given.corners) == pytest.approx(flat(scene.corners()), abs=1e-9)
    with pytest.raises(F.FramesArgumentError):
        F.Calibration.from_corners(MODEL, 640, 480, [(0, 0), (700, 0), (600, 400), (0, 400)])
    with pytest.raises(F.FramesIOError):
        F.Calibration.load(tmp_path / "missing.yml")
    with pytest.raises(F.NotFoundError):
        F.Calibration.find(MODEL, np.zeros((480, 640), np.uint8))
    cal.close()
    with pytest.raises(tavrel.StateError):
        cal.corners


VERDICTS = {
    "none": ((), {}, F.Verdict.NONE),
    "one": ((CENTRE,), {}, F.Verdict.ONE),
    "two": ((F.Part(50, 40), F.Part(140, 110)), {}, F.Verdict.SEVERAL),
    "at the edge": ((F.Part(1.0, 77.5),), {}, F.Verdict.AT_EDGE),
    "too dark": ((CENTRE,), {"backlight": 25.0, "dark": 5.0}, F.Verdict.TOO_DARK),
    "saturated": ((CENTRE,), {"backlight": 400.0}, F.Verdict.SATURATED),
}


@pytest.mark.parametrize("case", VERDICTS)
def test_each_verdict_and_only_one_part_is_seen(case, locator):
    parts, settings, verdict = VERDICTS[case]
    where = locator.locate(rendered(*parts, **settings))
    assert where.verdict == verdict, where.reason
    if verdict == F.Verdict.ONE:
        assert where.seen == pytest.approx((CENTRE.x, CENTRE.y), abs=0.1)
        assert where.angle_deg == pytest.approx(CENTRE.angle_deg, abs=1.0)
    else:
        assert where.seen is None and where.reason


def test_settling_waits_for_two_frames_that_agree(locator):
    settle = F.Settle(0.2)
    at = [locator.locate(rendered(F.Part(95 + dx, 77.5))) for dx in (0.0, 3.0, 3.05)]
    assert [settle.feed(where) for where in at] == [False, False, True]
    assert settle.frames == 3 and settle.position == pytest.approx((98.05, 77.5), abs=0.1)
    settle.restart()
    assert settle.position is None
    assert not settle.feed(locator.locate(rendered()), host_waited=True)
    assert settle.feed(at[0], host_waited=True) and settle.frames == 2
    with pytest.raises(F.FramesArgumentError):
        F.Settle(0.0)


def push(run_time, dx, dy):
    words = (tavrel.MotorWords(30, 70, 0, 1),) * 4
    return F.Push(tavrel.Command(0, words, run_time), dx, dy)


PUSHES = (push(100, 1.0, 0.0), push(200, 0.0, 1.0))


@pytest.mark.parametrize("mounted", range(8))
def test_orientation_is_found_from_two_pushes(mounted):
    empty = F.Scene(MODEL, orientation=mounted).render()
    part = [95.0, 77.5]
    moves = {p.command.run_time: (p.dx, p.dy) for p in PUSHES}

    def grab():
        return F.Scene(MODEL, parts=[F.Part(*part)], orientation=mounted).render()

    def feeder(command):
        dx, dy = moves[command.run_time]
        part[0] += 12 * dx
        part[1] += 12 * dy

    with F.Calibration.find(MODEL, empty) as cal:
        assert cal.orient(PUSHES, grab, feeder) == mounted == cal.orientation


def test_an_exception_in_a_callback_reaches_the_caller_and_changes_nothing(calibration):
    def grab():
        raise RuntimeError("camera unplugged")

    with pytest.raises(RuntimeError, match="camera unplugged"):
        calibration.orient(PUSHES, grab, lambda command: None)
    assert calibration.orientation == 0


def test_image_files_come_in_order_and_a_bad_one_is_reported_at_its_turn(tmp_path):
    shown = [rendered(), rendered(CENTRE)]
    paths = []
    for i, frame in enumerate(shown):
        paths.append(tmp_path / f"{i}.pgm")
        paths[-1].write_bytes(b"P5 640 480 255\n" + frame.tobytes())
    with F.Source.files([paths[0], tmp_path / "missing.png", paths[1]]) as source:
        assert np.array_equal(source.next(), shown[0])
        with pytest.raises(F.FramesIOError, match="missing.png"):
            source.next()
        assert [np.array_equal(f, shown[1]) for f in source] == [True]
    with pytest.raises(F.FramesArgumentError):
        F.Source.files([])


def test_records_and_constants_match_the_header():
    probe = built("TAVREL_FRAMES_LAYOUT_PROBE", "tests", "tavrel_frames_layout_probe")
    report = subprocess.run([probe], check=True, capture_output=True, text=True).stdout
    facts = [line.split() for line in report.splitlines()]
    assert len(facts) > 70
    for kind, name, value in facts:
        if kind == "size":
            assert F.ffi.sizeof(name) == int(value), name
        elif kind == "offset":
            assert F.ffi.offsetof(*name.split(".")) == int(value), name
        else:
            assert getattr(F.frames_lib, name) == int(value), name


def test_every_code_has_a_class_of_its_own():
    classes = {F._ERROR_CLASSES[code] for code in F.FramesErrorCode}
    assert len(classes) == len(F.FramesErrorCode)
    assert all(issubclass(kind, F.FramesError) for kind in classes)
    assert F.version() == tavrel.__version__
