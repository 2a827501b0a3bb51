"""A scene built from a dict, with a procedure written in Python.

A damped spring: each frame the Python procedure Spring::Step moves the
position and velocity on by one time step, and Math::Mul (built in) reads
the position to drive a second channel. The script runs 200 frames, prints
a few values and, when matplotlib is installed, plots the position into
spring.png.

    PYTHONPATH=build/dev/python python3 examples/python/damped_spring.py
    python3 -m dravik run SCENE --procedures examples/python/damped_spring.py   # the same procedure from the shell
"""

import dravik


@dravik.procedure("Spring", "Step", params=[
    ("position", "float", "inout"), ("velocity", "float", "inout"),
    ("stiffness", "float", "in"), ("damping", "float", "in"), ("dt", "float", "in")])
def step(position, velocity, stiffness, damping, dt):
    """One explicit Euler step of x'' = -k x - c x'."""
    acceleration = -stiffness * position - damping * velocity
    velocity += acceleration * dt
    return {"position": position + velocity * dt, "velocity": velocity}


SCENE = {
    "name": "damped spring",
    "frames": 200,
    "channels": [
        {"id": "x", "type": "value", "value": 1.0},
        {"id": "v", "type": "value", "value": 0.0},
        {"id": "k", "type": "value", "value": 4.0, "watch": False},
        {"id": "c", "type": "value", "value": 0.3, "watch": False},
        {"id": "dt", "type": "value", "value": 0.05, "watch": False},
        {"id": "gain", "type": "value", "value": 10.0, "watch": False},
        {"id": "drive", "type": "value"},
        {"id": "spring", "type": "call", "owner": "Spring", "procedure": "Step",
         "links": {"position": "x", "velocity": "v", "stiffness": "k", "damping": "c", "dt": "dt"}},
        {"id": "amplify", "type": "call", "owner": "Math", "procedure": "Mul",
         "links": {"a": "x", "b": "gain", "result": "drive"}},
    ],
}


def main():
    """Runs the scene, prints a few frames and plots the position when matplotlib is there."""
    run = dravik.load(SCENE).run()
    x = run.values("x")
    print(f"{len(run.frames)} frames; x at frames 1, 50, 200: {x[0]:.4f}, {x[49]:.4f}, {x[-1]:.4f}")
    print("statuses of spring:", sorted(set(run.statuses("spring").tolist())))
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib is not installed: no plot")
        return
    plt.plot(run.frames, x, label="x (Spring::Step)")
    plt.plot(run.frames, run.values("drive") / 10, "--", label="drive / 10 (Math::Mul)")
    plt.xlabel("frame")
    plt.legend()
    plt.savefig("spring.png")
    print("plotted into spring.png")


if __name__ == "__main__":
    main()
