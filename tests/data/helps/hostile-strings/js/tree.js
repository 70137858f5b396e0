window.__shadowed = 'js/tree.js';
