#!/usr/bin/env python3
"""A folder that answers slowly, or never, as a network mount does: SOURCE shown at MOUNTPOINT
through FUSE, every call on a path under --under waiting --delay milliseconds first (-1: until
the delay is set to 0 or more again). With --control FILE the delay is read from FILE (one
number) at every call, so a running mount can be made slow, dead and healthy again. The kernel
keeps nothing in its caches: every lookup comes here, as on a mount that checks with its server.

With --serial the calls that wait are answered one at a time, as a share that answers one listing
at a time does; with --log FILE every call is written to FILE as it returns ("SECONDS CALL PATH").

Usage: slowfs.py SOURCE MOUNTPOINT [--delay MS] [--under /PATH] [--calls NAME,...]
                 [--control FILE] [--serial] [--log FILE]
Runs in the foreground until unmounted (umount MOUNTPOINT, or fusermount -u).
"""
import argparse
import errno
import os
import sys
import threading
import time

import fusepy as fuse

CALLS = ('getattr', 'readdir', 'open', 'read', 'write', 'create', 'unlink', 'rename',
         'truncate', 'utimens', 'chmod', 'mkdir', 'rmdir', 'statfs', 'release', 'fsync',
         'readlink', 'access', 'opendir')


class SlowFolder(fuse.Operations):
    def __init__(self, source, delay_ms, under, calls, control, serial=False, log=None):
        self.source = os.path.realpath(source)
        self.delay_ms = delay_ms
        self.under = under.rstrip('/') or '/'
        self.calls = set(calls)
        self.control = control
        self.lock = threading.Lock()
        self.serial = serial
        self.log = open(log, 'a', buffering=1) if log else None
        self.log_lock = threading.Lock()

    def delay(self):
        if self.control:
            try:
                with open(self.control) as f:
                    return int(f.read().strip() or '0')
            except (OSError, ValueError):
                return 0
        return self.delay_ms

    def waits(self, call, path):
        if call not in self.calls:
            return False
        return self.under == '/' or path == self.under or path.startswith(self.under + '/')

    def wait(self, call, path):
        if not self.waits(call, path):
            return
        delay = self.delay()
        while delay < 0:
            time.sleep(0.1)
            delay = self.delay()
        if delay > 0:
            time.sleep(delay / 1000.0)

    def real(self, path):
        return os.path.join(self.source, path.lstrip('/'))

    def __call__(self, op, path, *args):
        try:
            if self.serial and self.waits(op, path):
                with self.lock:
                    self.wait(op, path)
                    return super().__call__(op, path, *args)
            self.wait(op, path)
            return super().__call__(op, path, *args)
        finally:
            if self.log:
                with self.log_lock:
                    self.log.write('%.3f %s %s\n' % (time.time(), op, path))

    def getattr(self, path, fh=None):
        try:
            st = os.lstat(self.real(path))
        except OSError as e:
            raise fuse.FuseOSError(e.errno)
        keys = ('st_mode', 'st_nlink', 'st_uid', 'st_gid', 'st_size', 'st_atime', 'st_mtime',
                'st_ctime', 'st_ino')
        return {k: getattr(st, k) for k in keys}

    def readdir(self, path, fh):
        return ['.', '..'] + os.listdir(self.real(path))

    def readlink(self, path):
        return os.readlink(self.real(path))

    def statfs(self, path):
        st = os.statvfs(self.real(path))
        keys = ('f_bavail', 'f_bfree', 'f_blocks', 'f_bsize', 'f_favail', 'f_ffree', 'f_files',
                'f_flag', 'f_frsize', 'f_namemax')
        return {k: getattr(st, k) for k in keys}

    def access(self, path, mode):
        if not os.access(self.real(path), mode):
            raise fuse.FuseOSError(errno.EACCES)

    def open(self, path, flags):
        return os.open(self.real(path), flags)

    def create(self, path, mode, fi=None):
        return os.open(self.real(path), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        os.truncate(self.real(path), length)

    def release(self, path, fh):
        os.close(fh)

    def fsync(self, path, datasync, fh):
        os.fsync(fh)

    def unlink(self, path):
        os.unlink(self.real(path))

    def rename(self, old, new):
        os.rename(self.real(old), self.real(new))

    def mkdir(self, path, mode):
        os.mkdir(self.real(path), mode)

    def rmdir(self, path):
        os.rmdir(self.real(path))

    def chmod(self, path, mode):
        os.chmod(self.real(path), mode)

    def utimens(self, path, times=None):
        os.utime(self.real(path), times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('source')
    parser.add_argument('mountpoint')
    parser.add_argument('--delay', type=int, default=1000, help='milliseconds; -1 never')
    parser.add_argument('--under', default='/', help='only paths at or below this one wait')
    parser.add_argument('--calls', default=','.join(CALLS),
                        help='the calls that wait (getattr is every lookup and stat)')
    parser.add_argument('--control', help='a file holding the delay, read at every call')
    parser.add_argument('--serial', action='store_true', help='the calls that wait, one at a time')
    parser.add_argument('--log', help='a file every call is written to as it returns')
    args = parser.parse_args()
    fs = SlowFolder(args.source, args.delay, args.under, args.calls.split(','), args.control,
                    args.serial, args.log)
    fuse.FUSE(fs, args.mountpoint, foreground=True, nothreads=False, default_permissions=True,
              entry_timeout=0, attr_timeout=0, negative_timeout=0)


if __name__ == '__main__':
    sys.exit(main())
