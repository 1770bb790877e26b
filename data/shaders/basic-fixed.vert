#version 120

// Every draw hands one complete transform; the vertex colour travels in inNormal.
uniform mat4 finalMatrix;

attribute vec3 inVertex;
attribute vec3 inNormal;
attribute vec2 inTexCoord;

varying vec3 colour;
varying vec2 texCoord;

void main() {
    colour = inNormal;
    texCoord = inTexCoord;
    gl_Position = finalMatrix * vec4(inVertex, 1.0);
}
