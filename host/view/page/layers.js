// layers.js - the layer panel's clicks: the name makes a layer current, the buttons turn it
// on or off, freeze or thaw it, lock or unlock it. Each is sent as a -LAYER command line, so
// that it shows in the transcript and one U takes it back.
'use strict';

(() => {
  const tv = window.tevView;
  const T = (english) => tv.T(english);

  // A name as a -LAYER name list takes it: its wildcard characters taken literally.
  const literal = (name) => name.replace(/[*?#@.`~\[\]\-,]/g, '`$&');

  // Sends the -LAYER lines, at the command prompt only (a command that waits is left alone).
  function run(lines) {
    const s = tv.state;
    if (!s.waiting || !s.atCommand) {
      document.getElementById('info').textContent = T('Layers change at the command prompt: finish the command first.');
      return;
    }
    tv.answer([['L', '-LAYER'], ...lines.map((l) => ['L', l]), ['L', '']]);
  }

  function button(text, title, pressed, onClick) {
    const b = document.createElement('button');
    b.textContent = text;
    b.title = T(title);
    b.className = 'layerToggle' + (pressed ? ' pressed' : '');
    b.addEventListener('click', onClick);
    return b;
  }

  function build(table, layers) {
    table.textContent = '';
    for (const l of layers) {
      const tr = document.createElement('tr');
      if (!l.on || l.frozen) tr.className = 'off';
      if (l.current) tr.classList.add('current');
      const sw = document.createElement('span');
      sw.className = 'swatch';
      sw.style.background = tv.state.dark && l.color === '#000000' ? '#ffffff' : l.color;
      const name = document.createElement('span');
      name.className = 'layerName';
      name.textContent = l.name;
      name.title = T('Make current');
      // A name with a space cannot be typed as one answer: it is shown, not sent.
      const sendable = !/\s/.test(l.name);
      if (sendable && !l.current) name.addEventListener('click', () => run(['S', l.name]));
      const cells = [sw, name,
        button(T(l.on ? 'on' : 'off'), 'Turn on or off', !l.on, () => run([l.on ? 'OFF' : 'ON', literal(l.name)].concat(l.on && l.current ? ['Y'] : []))),
        button(l.frozen ? T('frozen') : '☀', 'Freeze or thaw', l.frozen, () => run([l.frozen ? 'T' : 'F', literal(l.name)])),
        button(l.locked ? T('locked') : '🔓', 'Lock or unlock', l.locked, () => run([l.locked ? 'U' : 'LO', l.name]))];
      for (const c of cells) {
        const td = document.createElement('td');
        td.appendChild(c);
        if (c.tagName === 'BUTTON') c.disabled = !sendable;
        tr.appendChild(td);
      }
      tr.dataset.layer = l.name;
      table.appendChild(tr);
    }
  }

  window.arxLayers = { build };
})();
