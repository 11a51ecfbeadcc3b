#!/usr/bin/env python3
"""Run fuzzing: real runs of korva, headless and built with the sanitizers, on the example
projects with every brain replaced by random keyword calls with hostile arguments, and now and
then a field of an element record set to a value at the edge of its range.

    scripts/run_fuzz.py MINUTES [--jobs N] [--seed S] [--frames F]

Builds korva, korva-import and korva-mkdata in build-asan (clang, AddressSanitizer and
UndefinedBehaviorSanitizer), makes an installation for each job with korva-mkdata and runs one
project after another in it for MINUTES. A run that a sanitizer stops, that ends on a signal or
that takes longer than two minutes is a finding: its project and what korva wrote go to
build-asan/run-fuzz/found/SEED.*, and the script exits 1. The same seed makes the same project,
so a finding is run again with --jobs 1 --seed SEED --runs 1.
"""
import argparse
import multiprocessing
import os
import random
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, 'build-asan')
OUT = os.path.join(BUILD, 'run-fuzz')
PROJECTS = ['kinds', 'demo', 'race', 'shadows', 'video']

# Keywords that end the run, leave it or start other programs: a run would stop at the first.
SKIP = {'run', 'run_task', 'exit', 'any_input_exit', 'exemode', 'display_mode_set', 'rendering_device_set',
        'save', 'save_x', 'resume', 'resume_x', 'play'}
NUMBERS = ['0', '1', '-1', '2', '3', '7', '11', '12', '100', '255', '256', '512', '1024', '4096', '65535',
           '65536', '1000000', '-1000', '2147483647', '-2147483648', '-2147483647', '0x7fff0000', '0x10000',
           '1.5mt', '90rm', '360dg']
TEXTS = ['x', '', 'temp/a.dat', 'temp/b.dat', '../../../etc/passwd', 'a' * 300, '%s%s%n',
         'sounds/engine_.wav', 'xvisuals/default_.x', 'images/sample_.avi']
FIELDS = NUMBERS + ['', 'x', '-', '0/0/0', '9999/9999/-5/-5/0x0', '-2147483647/0/2147483647/10/0x0']


def keyword_rows():
    """(name, returns a value, parameter count) of every keyword, read from the keyword table."""
    with open(os.path.join(ROOT, 'src/brain/keywords.cpp')) as f:
        table = f.read()
    rows = re.findall(r'\{"([^"]+)", (\d), (\d+), \d\}', table)
    return [(n, r == '1', int(p)) for n, r, p in rows if n not in SKIP]


def argument(rng):
    c = rng.random()
    if c < 0.25:
        return rng.choice(NUMBERS)
    if c < 0.40:
        return 'element#%d' % rng.randint(1, 14)
    if c < 0.50:
        return 'element'
    if c < 0.60:
        return rng.choice(['v1', 'v2', 'v3', 's', 'h'])
    if c < 0.70:
        return '"%s"' % rng.choice(TEXTS)
    if c < 0.85:
        return str(rng.randint(-5, 20))
    return str(rng.randint(-2**31, 2**31 - 1))


def brain(rng, rows):
    """Declarations, a text and a block made in the first step, then 1 to 20 random calls."""
    lines = ['var v1', 'var v2', 'var v3', 'var s', 'var h', 'var n', 'n = n + 1', 'if n = 1',
             's = str_create(64)', 'h = a_create(%s)' % rng.choice(['16', '1000', '0', '-1']), 'endif']
    for _ in range(rng.randint(1, 20)):
        name, returns, count = rng.choice(rows)
        call = '%s(%s)' % (name, ', '.join(argument(rng) for _ in range(count)))
        lines.append(rng.choice(['v1', 'v2', 'v3']) + ' = ' + call if returns else call)
    return lines


def project(rng, rows, text):
    """The project text with every brain replaced and about one record line in seven changed."""
    out, in_brains = [], False
    for i, line in enumerate(text.split('\r\n')):
        if line.startswith('@'):
            out.append(line)
            out += brain(rng, rows)
            in_brains = True
        elif not in_brains:
            if '|' in line and i > 1 and rng.random() < 0.15:
                fields = line.split('|')
                fields[rng.randrange(len(fields))] = rng.choice(FIELDS)
                line = '|'.join(fields)
            out.append(line)
    return '\r\n'.join(out) + '\r\n'


def run_one(korva, home, name, text, frames):
    """Runs the project; returns (finding, what korva wrote on stderr)."""
    with open(os.path.join(home, 'projects', name, name + '.prj'), 'w', newline='') as f:
        f.write(text)
    with open(os.path.join(home, 'runmode.ini'), 'w', newline='') as f:
        f.write('projects/%s/%s.prj\r\n1\r\n0\r\n0\r\n0\r\n' % (name, name))
    env = dict(os.environ, KORVA_HEADLESS='1', KORVA_FAST='1', KORVA_MAX_FRAMES=str(frames),
               ASAN_OPTIONS='detect_leaks=0:halt_on_error=1:quarantine_size_mb=16',
               UBSAN_OPTIONS='halt_on_error=1:print_stacktrace=1')
    env.pop('DISPLAY', None)
    env.pop('WAYLAND_DISPLAY', None)
    for attempt in range(60):
        try:
            r = subprocess.run([korva], cwd=home, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, timeout=120)
            break
        except subprocess.TimeoutExpired:
            return True, 'no end after 120 seconds\n'
        except OSError:  # korva is being built again: wait for the new one
            time.sleep(1)
    else:
        raise RuntimeError('cannot start ' + korva)
    said = r.stderr.decode('latin-1')
    return r.returncode < 0 or 'Sanitizer' in said or 'runtime error:' in said, said


def job(args):
    number, first, runs, until, frames = args
    rows = keyword_rows()
    home = os.path.join(OUT, 'home%d' % number)
    shutil.rmtree(home, ignore_errors=True)
    subprocess.run([os.path.join(BUILD, 'korva-mkdata'), '--quiet', home], check=True)
    texts = {}
    for name in PROJECTS:
        with open(os.path.join(home, 'projects', name, name + '.prj'), newline='') as f:
            texts[name] = f.read()
    done, found = 0, []
    seed = first
    while done < runs and time.time() < until:
        rng = random.Random(seed)
        name = rng.choice(PROJECTS)
        text = project(rng, rows, texts[name])
        bad, said = run_one(os.path.join(BUILD, 'korva'), home, name, text, frames)
        if bad:
            with open(os.path.join(OUT, 'found', '%d.%s.prj' % (seed, name)), 'w', newline='') as f:
                f.write(text)
            with open(os.path.join(OUT, 'found', '%d.txt' % seed), 'w') as f:
                f.write(said[-20000:])
            print('finding: seed %d (%s)' % (seed, name), flush=True)
            found.append(seed)
        done += 1
        seed += 1
    return done, found


def main():
    p = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    p.add_argument('minutes', type=float)
    p.add_argument('--jobs', type=int, default=2)
    p.add_argument('--seed', type=int, default=None, help='first seed (default: from the clock)')
    p.add_argument('--runs', type=int, default=10**9, help='runs per job at most')
    p.add_argument('--frames', type=int, default=30, help='loop frames of each run')
    a = p.parse_args()
    subprocess.run(['cmake', '-S', ROOT, '-B', BUILD, '-G', 'Ninja', '-DKORVA_WERROR=ON', '-DKORVA_SANITIZE=ON'],
                   check=True, stdout=subprocess.DEVNULL,
                   env=dict(os.environ, CC=os.environ.get('CC', 'clang'), CXX=os.environ.get('CXX', 'clang++')))
    subprocess.run(['cmake', '--build', BUILD, '-j2', '--target', 'korva', 'korva-import', 'korva-mkdata'], check=True)
    os.makedirs(os.path.join(OUT, 'found'), exist_ok=True)
    first = a.seed if a.seed is not None else int(time.time()) * 1000
    until = time.time() + a.minutes * 60
    stride = 10**6  # each job takes seeds of its own
    with multiprocessing.Pool(a.jobs) as pool:
        results = pool.map(job, [(k, first + k * stride, a.runs, until, a.frames) for k in range(a.jobs)])
    runs = sum(r[0] for r in results)
    found = [s for r in results for s in r[1]]
    print('%d runs from seed %d, %d findings%s' % (runs, first, len(found),
                                                    (': ' + ' '.join(map(str, found))) if found else ''))
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
