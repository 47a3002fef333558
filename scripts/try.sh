#!/usr/bin/env bash
# Sets up, builds and runs the main job: a status query of a simulated adapter on COM1.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/bin/TarnwickSim COM1 -- build/bin/TarnwickCL COM1 status
