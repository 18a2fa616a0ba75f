#!/usr/bin/env python3
"""Writes the seed corpus of the API fuzz target into fuzz/corpus/.

Each seed is a scripted host session in the target's input format (see
docs/fuzzing.md), so that the fuzzer starts from inputs that already reach
every task state instead of having to discover the tuning loop by chance.
Run it again whenever the input format changes.
"""
import pathlib
import struct

# Call selectors, in the order of the target's call table.
INIT, TASK, PARAM_SET, PARAM_RE, STA_COL, MODEL_DETECT, COMP_DIS, CONFIG, \
    VIBR_ADJ, DUART_TIM_ADJ, BACKLIGHT, BACKLIGHT_PWM, BACKLIGHT_STA_RE, CLOCK = range(14)

# Callback slots.
NULL, PLAIN, REENTER = range(3)

# Coordinates the target keeps in a table, by name; whole numbers 0..221 are
# encoded as value + 33.
TABLE = {"max": 24, "-max": 25, "min": 26, "denormal": 27, "-0": 28, "inf": 29,
         "-inf": 30, "nan": 31, "-nan": 32}


def small(value):
    """An int the target reads with Input::Int."""
    if -128 <= value <= 127 and value != -128:
        return struct.pack("<b", value)
    return b"\x80" + struct.pack("<i", value)


def u16(value):
    return struct.pack("<H", value)


def coord(value):
    if isinstance(value, str):
        return bytes([TABLE[value]])
    if isinstance(value, int) and 0 <= value <= 221:
        return bytes([value + 33])
    return b"\xff" + struct.pack("<f", value)


def init(model, action, coord_cb=PLAIN, fed_cb=PLAIN, log_cb=PLAIN):
    return bytes([INIT, coord_cb, fed_cb, log_cb]) + small(model) + small(action)


def sample(x, y):
    """A TVLTask step whose plain coordinate callback returns a position."""
    return bytes([TASK, 1]) + coord(x) + coord(y)


def no_sample():
    return bytes([TASK, 0, 0, 0])


def sta_col(command):
    return bytes([STA_COL]) + small(command)


def clock_ms(ms):
    return bytes([CLOCK]) + u16(ms)


def tuning_cycle(model=0, action=0):
    """Action 0 of model 0 tuned to success, verified, ended and restarted."""
    seed = init(model, action)
    seed += bytes([PARAM_SET]) + u16(40) + u16(80) + u16(70) + u16(80) + u16(300)
    seed += bytes([PARAM_RE])
    seed += sample(100, 80)  # primes the sampler
    seed += sample(100, 80) * 3  # three misses start the adjustment
    seed += sample(100, 80)  # rejected: the motors are corrected
    for x in (104, 108, 112, 116, 120):  # wanted movement, score rises
        seed += sample(x, 80)
    seed += sample(135, 80)  # arrives: status 3, task waits
    seed += no_sample()
    seed += sta_col(2) + no_sample() * 2  # verification start and end
    seed += sta_col(3) + no_sample()
    seed += sta_col(1) + no_sample()
    seed += sta_col(0) + no_sample()
    return seed


def timeouts():
    seed = init(0, 3)
    for _ in range(4):
        seed += clock_ms(5001) + no_sample()
    return seed


def bad_samples():
    seed = init(1, 8)
    for x, y in (("nan", 80), (100, "nan"), ("inf", "-inf"), ("max", "-max"),
                 ("denormal", "-0"), ("-nan", "min"), (1e30, -1e30)):
        seed += sample(x, y)
    return seed


def bad_init():
    seed = b""
    for model, action in ((0, 11), (0, -1), (3, 0), (-1, 0), (4, 10), (-2**31, 2**31 - 1)):
        seed += no_sample() + init(model, action) + no_sample()
        seed += bytes([PARAM_SET]) + u16(1) * 5 + bytes([PARAM_RE]) + sta_col(2) + no_sample()
    seed += init(2, 10, NULL, NULL, NULL) + no_sample() * 3 + sta_col(4) + sta_col(-1)
    return seed


def reentrant():
    """Callbacks that call back into the library: a restart, a nested step and
    a new initialisation from inside the coordinate callback, a command from
    the status callback and a nested step from the feeder callback."""
    result = b"\0" * 4  # what a calling-back feeder or status callback returns
    seed = init(0, 0, REENTER, PLAIN, REENTER)
    # The coordinate callback runs its call before it reads its sample; the
    # status callback's call and result follow the step's own bytes.
    seed += bytes([TASK]) + sta_col(1) + bytes([1]) + coord(100) + coord(80) \
        + bytes([PARAM_RE]) + result
    seed += bytes([TASK, TASK, PARAM_RE, 1]) + coord(100) + coord(80) + bytes([1]) \
        + coord(100) + coord(80)
    seed += bytes([TASK]) + init(1, 5, REENTER, PLAIN, REENTER) + bytes([1]) + coord(100) \
        + coord(80)
    seed += clock_ms(6000) + bytes([TASK, PARAM_RE, 0, 0, 0]) + sta_col(2) + result
    seed += bytes([TASK, PARAM_RE, 0, 0, 0])  # verification pending after a timeout
    seed += init(0, 0, PLAIN, REENTER, PLAIN) + sample(100, 80) * 3
    seed += sample(100, 80) + no_sample() + result  # the command runs a nested step
    return seed


def exported_operations():
    seed = init(0, 1)
    seed += bytes([MODEL_DETECT]) + coord(150) + coord(150)  # Kav window
    seed += bytes([MODEL_DETECT]) + coord(1e30) + coord("nan")  # no model
    seed += sample(100, 80) * 2 + bytes([COMP_DIS]) + sample(100, 80)
    seed += bytes([MODEL_DETECT]) + coord(320) + coord(250)  # Mor window
    seed += bytes([COMP_DIS]) * 2
    seed += bytes([CONFIG, 0]) + u16(40) + u16(0) + u16(80) + bytes([3]) + small(0)
    seed += bytes([CONFIG, 0]) + u16(90) + u16(80) + u16(10) + bytes([0]) + small(1)
    seed += bytes([CONFIG, 1]) + u16(0) * 3 + bytes([0]) + small(2)
    for act, mot, work, param, dire, step in ((1, 0, 0, 1, 0, 5), (1, 3, 1, 0, 1, 65535),
                                              (11, 4, 2, 4, 2, 1), (-1, -1, -1, -1, -1, 0)):
        seed += bytes([VIBR_ADJ]) + small(act) + small(mot) + small(work) + small(param) \
            + small(dire) + u16(step) + small(0)
    seed += bytes([DUART_TIM_ADJ]) + small(1) + u16(0) + small(0)
    seed += bytes([DUART_TIM_ADJ]) + small(11) + u16(9) + small(3)
    seed += bytes([BACKLIGHT]) + small(1) + u16(7) + u16(50) + small(0)
    seed += bytes([BACKLIGHT]) + small(5) + u16(7) + u16(500) + small(-1)
    seed += bytes([BACKLIGHT_PWM]) + u16(100) + small(2) + bytes([BACKLIGHT_STA_RE]) + small(2)
    seed += sample(104, 80) + sta_col(2) + no_sample() * 2
    return seed


SEEDS = {
    "tuning-cycle": tuning_cycle(),
    "tuning-cycle-mor": tuning_cycle(1, 9),
    "timeouts": timeouts(),
    "bad-samples": bad_samples(),
    "bad-init": bad_init(),
    "reentrant": reentrant(),
    "exported-operations": exported_operations(),
}

if __name__ == "__main__":
    corpus = pathlib.Path(__file__).resolve().parent / "corpus"
    corpus.mkdir(exist_ok=True)
    for name, data in SEEDS.items():
        (corpus / name).write_bytes(data)
