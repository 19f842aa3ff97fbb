'use strict';
// The page around the player: which story it plays, where the stories and their saves are kept
// (the browser's IndexedDB, through emscripten's IDBFS), and how the window is scaled.

const Persist = '/persist';               // kept in IndexedDB between visits
const Stories = Persist + '/stories';     // stories opened here, a folder's saves beside it
const Current = Persist + '/current';     // the path of the story the page plays
const DataHome = Persist + '/data';       // an archive's saves (XDG_DATA_HOME)
const FetchedStories = '/fetched';        // an archive given by ?story=, in memory only
const Canvas = document.getElementById('canvas');
let Playing = '';
let LastComplaint = '';  // what the player last wrote to its standard error

function SetStatus(text) {
  document.getElementById('status').textContent = text;
}

var Module = {
  canvas: Canvas,
  print: text => console.log(text),
  printErr: text => {
    console.warn(text);
    LastComplaint = text;
  },
  setStatus: text => SetStatus(text),
  preRun: [MountPersist],
  onRuntimeInitialized: () => Start().catch(e => SetStatus('Cannot start: ' + e)),
  // The story ended it, or the player stopped: the window is gone, and the page says so.
  onExit: status => {
    SetStatus(status === 0 ? 'The story has ended.' : LastComplaint || 'The story cannot be played.');
    Save();
  },
};

// The player's environment, and the stored folders read back before it starts.
function MountPersist() {
  ENV.SDL_VIDEODRIVER = 'emscripten';
  ENV.HOME = '/home/web';
  ENV.XDG_CONFIG_HOME = '/home/web/.config';
  ENV.XDG_STATE_HOME = '/home/web/.local/state';
  ENV.XDG_DATA_HOME = DataHome;
  FS.mkdirTree('/home/web');
  FS.mkdir(Persist);
  FS.mount(IDBFS, {}, Persist);
  addRunDependency('persist');
  FS.syncfs(true, error => {
    if (error) {
      console.warn('stored stories and saves cannot be read', error);
      SetStatus('Saves cannot be read in this browser: ' + error);
    }
    removeRunDependency('persist');
  });
}

function Exists(path) {
  return FS.analyzePath(path).exists;
}

function CopyTree(from, to) {
  FS.mkdirTree(to);
  for (const name of FS.readdir(from)) {
    if (name === '.' || name === '..')
      continue;
    const source = from + '/' + name, target = to + '/' + name;
    if (FS.isDir(FS.stat(source).mode))
      CopyTree(source, target);
    else if (!Exists(target))
      FS.writeFile(target, FS.readFile(source));
  }
}

// The bundled demo, copied where its saves can be kept (apart from the stories opened, one of
// which may have the same name).
function Demo() {
  CopyTree('/demo', Persist + '/demo');
  return Persist + '/demo';
}

// One name of a path: nothing that climbs out of the folder it is written in.
function SafeName(name) {
  const safe = String(name).replace(/[\/\\\0]/g, '_');
  return safe === '' || safe === '.' || safe === '..' ? '_' : safe;
}

// The most a story may bring into the page, which holds it in memory: larger ones are refused
// before they are read.
const StoryLimit = 512 * 1024 * 1024;

function TooLarge(bytes) {
  return bytes > StoryLimit ? 'The story is larger than ' + StoryLimit / 1024 / 1024 + ' MB.' : '';
}

// The body of `response`, read no further than the limit.
async function ReadBounded(response) {
  const reader = response.body.getReader();
  const parts = [];
  let size = 0;
  for (;;) {
    const {done, value} = await reader.read();
    if (done)
      break;
    size += value.length;
    if (TooLarge(size)) {
      reader.cancel();
      throw new Error(TooLarge(size));
    }
    parts.push(value);
  }
  const bytes = new Uint8Array(size);
  let at = 0;
  for (const part of parts) {
    bytes.set(part, at);
    at += part.length;
  }
  return bytes;
}

// An archive given by ?story=, fetched from the site.
async function FetchStory(address) {
  const url = new URL(address, location.href);
  if (url.origin !== location.origin)
    throw new Error('a story comes from this site only');
  // Not followed elsewhere: a redirect could lead off the site.
  const response = await fetch(url, {redirect: 'error'});
  if (!response.ok)
    throw new Error(url + ': ' + response.status);
  // Fetched again at every visit, so kept only in memory; its saves are kept all the same.
  const path = FetchedStories + '/' + SafeName(decodeURIComponent(url.pathname.split('/').pop()));
  const bytes = await ReadBounded(response);
  FS.mkdirTree(FetchedStories);
  FS.writeFile(path, bytes);
  return path;
}

// Whether this page keeps the stored stories and saves: only one page at a time may, for each
// writes its whole copy back and would delete or undo what another page saved.
let Owner = false;

function TakeStore() {
  if (!navigator.locks)
    return Promise.resolve(true);
  return new Promise(granted => navigator.locks.request('zv_rk-store', {ifAvailable: true}, lock => {
    granted(lock !== null);
    return lock ? new Promise(() => {}) : null;  // held while the page lives
  }));
}

async function Start() {
  Owner = await TakeStore();
  if (!Owner) {
    SetStatus('The player is open in another tab or window of this browser: close it, then reload this page.');
    return;
  }
  const address = new URLSearchParams(location.search).get('story');
  let story = '';
  try {
    if (address)
      story = await FetchStory(address);
    else if (Exists(Current) && Exists(FS.readFile(Current, {encoding: 'utf8'})))
      story = FS.readFile(Current, {encoding: 'utf8'});
  } catch (e) {
    SetStatus(String(e));
    story = '';
  }
  if (!story)
    story = Demo();
  else
    SetStatus('');
  ClearStories(Stories, story);
  Playing = story;
  setInterval(Save, 2000);
  addEventListener('pagehide', () => Save());
  requestAnimationFrame(Fit);
  callMain([story]);
}

// The instruments, fetched as music needs them (the player asks, "t<program> d<drum> ...", and
// waits): program and drum to patch file, from the Timidity configuration.
let Instruments = null;

async function Fetched(address) {
  const response = await fetch(address);
  if (!response.ok)
    throw new Error(address + ': ' + response.status);
  return response;
}

function ReadInstruments(text) {
  const files = new Map();
  let kind = 't';
  for (const line of text.split('\n')) {
    const words = line.trim().split(/\s+/);
    if (words[0] === 'bank' || words[0] === 'drumset')
      kind = words[0] === 'bank' ? 't' : 'd';
    else if (/^\d+$/.test(words[0]) && words[1] && !words[1].includes('..'))
      files.set(kind + words[0], words[1]);
  }
  return files;
}

Module.fetchInstruments = async wanted => {
  try {
    if (!Instruments) {
      const text = await (await Fetched('instruments/timidity.cfg')).text();
      FS.mkdirTree('/instruments');
      FS.writeFile('/instruments/timidity.cfg', text);
      Instruments = ReadInstruments(text);
    }
    for (const key of wanted.split(' ').filter(Boolean)) {
      const file = Instruments.get(key);
      if (!file || Exists('/instruments/' + file))
        continue;
      const data = new Uint8Array(await (await Fetched('instruments/' + file)).arrayBuffer());
      FS.mkdirTree('/instruments/' + file.substring(0, file.lastIndexOf('/')));
      FS.writeFile('/instruments/' + file, data);
    }
    return 1;
  } catch (e) {
    console.warn('the instruments cannot be fetched', e);
    return 0;
  }
};

// Writes what changed (saves above all) to IndexedDB, one write at a time; a write asked for
// while one is under way waits for it and then takes every change made meanwhile.
let Writing = Promise.resolve();
let Waiting = null;
function Save() {
  if (!Owner)
    return Promise.resolve();
  if (!Waiting) {
    Waiting = Writing.then(() => {
      Waiting = null;
      return new Promise(done => FS.syncfs(false, error => {
        if (error) {
          console.warn('saves cannot be stored', error);
          SetStatus('Saves cannot be stored in this browser: ' + error);
        }
        done();
      }));
    });
    Writing = Waiting;
  }
  return Waiting;
}

// The window scaled by the largest whole step that fits, checked every frame: the player may
// resize it, the reader the page.
function Fit() {
  requestAnimationFrame(Fit);
  const stage = document.getElementById('stage');
  const width = Canvas.width, height = Canvas.height;
  if (!width || !height)
    return;
  const step = Math.max(1, Math.floor(Math.min(stage.clientWidth / width, stage.clientHeight / height)));
  if (Canvas.style.width !== width * step + 'px' || Canvas.style.height !== height * step + 'px') {
    Canvas.style.width = width * step + 'px';
    Canvas.style.height = height * step + 'px';
  }
}

// Plays `path` from the next start of the page.
function PlayNext(path) {
  if (path)
    FS.writeFile(Current, path);
  else if (Exists(Current))
    FS.unlink(Current);
  Save().then(() => {
    if (location.search)
      location.search = '';
    else
      location.reload();
  });
}

// Takes out of `folder` what stories brought, except the story at `keep`, keeping every slot (a
// folder's are beside its script): only the story playing stays stored and read at each visit.
function ClearStories(folder, keep) {
  if (!Exists(folder))
    return;
  for (const name of FS.readdir(folder)) {
    const path = folder + '/' + name;
    if (name === '.' || name === '..' || path === keep)
      continue;
    if (FS.isDir(FS.stat(path).mode)) {
      ClearStories(path, keep);
      if (FS.readdir(path).length === 2)
        FS.rmdir(path);
    } else if (!SlotName.test(name)) {
      FS.unlink(path);
    }
  }
}

async function OpenArchive(file) {
  if (TooLarge(file.size)) {
    SetStatus(TooLarge(file.size));
    return;
  }
  const path = Stories + '/' + SafeName(file.name);
  const bytes = new Uint8Array(await file.arrayBuffer());
  FS.mkdirTree(Stories);
  if (Exists(path) && FS.isDir(FS.stat(path).mode)) {
    SetStatus('A folder of stories already has the name ' + file.name + ': rename the archive.');
    return;
  }
  FS.writeFile(path, bytes);
  PlayNext(path);
}

// Files with their paths inside the folder chosen: [{parts: [...], file}].
async function OpenFolder(entries) {
  const size = entries.reduce((sum, entry) => sum + entry.file.size, 0);
  if (!entries.length || TooLarge(size)) {
    SetStatus(TooLarge(size));
    return;
  }
  const top = Stories + '/' + SafeName(entries[0].parts[0]);
  if (Exists(top) && !FS.isDir(FS.stat(top).mode)) {
    SetStatus('An archive already has the name ' + entries[0].parts[0] + ': rename the folder.');
    return;
  }
  ClearStories(top, '');  // what an earlier folder of this name brought; its slots stay
  for (const {parts, file} of entries) {
    const path = Stories + '/' + parts.map(SafeName).join('/');
    FS.mkdirTree(path.substring(0, path.lastIndexOf('/')));
    FS.writeFile(path, new Uint8Array(await file.arrayBuffer()));
  }
  PlayNext(top);
}

document.getElementById('open-archive').addEventListener('change', event => {
  if (event.target.files.length)
    OpenArchive(event.target.files[0]);
});

document.getElementById('open-folder').addEventListener('change', event => {
  OpenFolder(Array.from(event.target.files, file => ({parts: file.webkitRelativePath.split('/'), file})));
});

// Where the story playing keeps its slots, as the player reckons it (a folder story's own folder;
// for an archive, a folder named after it and the digest of its bytes); "" when the player has
// ended or has no place for them.
function SlotFolder() {
  try {
    // Called straight: the player is paused in a wait, where ccall would only promise an answer.
    return UTF8ToString(_zv_rk_slot_folder());
  } catch (e) {
    return '';
  }
}

const SlotName = /^save[0-9]+\.dat$/;
const SlotBytes = 2776;

// Every slot of the story, each downloaded as the file the desktop player keeps.
const NoSlotFolder = 'Saves can be exported and imported while a story plays: reload the page.';

document.getElementById('export').addEventListener('click', () => {
  const folder = SlotFolder();
  if (!folder) {
    SetStatus(NoSlotFolder);
    return;
  }
  const names = Exists(folder) ? FS.readdir(folder).filter(name => SlotName.test(name)) : [];
  if (!names.length)
    SetStatus('No saves to export yet.');
  for (const name of names) {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([FS.readFile(folder + '/' + name)]));
    link.download = name;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  }
});

// A slot from the desktop (saveN.dat, one record), shown by the data menu when it next opens.
document.getElementById('import').addEventListener('change', async event => {
  for (const file of event.target.files) {
    if (!SlotName.test(file.name) || file.size !== SlotBytes) {
      SetStatus(file.name + ' is no save slot (saveN.dat of ' + SlotBytes + ' bytes).');
      continue;
    }
    const folder = SlotFolder();
    if (!folder) {
      SetStatus(NoSlotFolder);
      break;
    }
    FS.mkdirTree(folder);
    FS.writeFile(folder + '/' + file.name, new Uint8Array(await file.arrayBuffer()));
    SetStatus(file.name + ' imported.');
  }
  event.target.value = '';
  Save();
});

document.getElementById('demo').addEventListener('click', () => PlayNext(''));

document.getElementById('fullscreen').addEventListener('click', () => {
  document.getElementById('stage').requestFullscreen().catch(() => {});
});

// Sound may start only after the reader's first gesture.
for (const kind of ['pointerdown', 'keydown'])
  addEventListener(kind, () => document.getElementById('sound-hint')?.remove(), {once: true});

// Every file under a dropped folder, with its path.
async function ReadEntry(entry, parts, out) {
  if (entry.isFile) {
    out.push({parts: [...parts, entry.name], file: await new Promise((ok, fail) => entry.file(ok, fail))});
    return;
  }
  const reader = entry.createReader();
  for (;;) {
    const batch = await new Promise((ok, fail) => reader.readEntries(ok, fail));
    if (!batch.length)
      return;
    for (const child of batch)
      await ReadEntry(child, [...parts, entry.name], out);
  }
}

addEventListener('dragover', event => {
  event.preventDefault();
  document.body.classList.add('dragging');
});
addEventListener('dragleave', () => document.body.classList.remove('dragging'));
addEventListener('drop', async event => {
  event.preventDefault();
  document.body.classList.remove('dragging');
  const item = event.dataTransfer.items[0];
  const entry = item && item.webkitGetAsEntry ? item.webkitGetAsEntry() : null;
  if (entry && entry.isDirectory) {
    const files = [];
    await ReadEntry(entry, [], files);
    OpenFolder(files);
  } else if (event.dataTransfer.files.length) {
    OpenArchive(event.dataTransfer.files[0]);
  }
});
